// Test builds only: hooks that let end-to-end tests reach roads a person rarely takes. Set
// through the environment of svrun32:
//   STORVEL_TEST_TRACE=1          log each start-up and release step as it runs
//   STORVEL_TEST_FAIL=STEP        that start-up step fails without running
//   STORVEL_TEST_RAISE=STEP       an internal error ("apptest", 1) in place of that step of
//                                 any chain; STEP "loop" raises one ("apptest", 2) from a
//                                 window procedure once the message loop runs
//   STORVEL_TEST_MESSAGE=N[,A]    once the loop runs, message resource N is shown with the
//                                 integer argument A (default 0); the answer is logged
//   STORVEL_TEST_ENDSESSION=1     once the loop runs, the main window is told that the session
//                                 ends, as the desktop would tell it
//   STORVEL_TEST_HOLD=PATH        before the first piece opens, the file is held open writable
//                                 as the learner's records (created when missing)
//   STORVEL_TEST_STAGE=PATH       once the loop runs, the main window shows the icon objects the
//                                 file describes (app_test_stage.h) and logs where its client
//                                 area lies: "svrun32 test: stage at X Y"
#pragma once

// Reads the settings and installs what they ask for; call once the backend runs.
void app_test_hook_install();
