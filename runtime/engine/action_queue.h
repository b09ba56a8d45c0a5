// The kernel action queue: a move from one icon to another is planned as small kernel actions
// (exits, entries, pane runs, frame changes), queued, and run from the end of the block. The
// block and its counters are slot 20 and survive a save, so a pane that was running when the
// learner left goes on where it stood.
#pragma once
#include "runtime/engine/modbus.h"
#include "runtime/nodes/node_files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum KernelActionOp : uint32_t {
    kActEnterContainer = 1,
    kActExitIcon = 2,
    kActStartIcon = 3,
    kActNewSequence = 4,
    kActFrameworkExit = 5,
    kActNavValues = 6,
    kActDropFrame = 7,
    kActTransferFrame = 8,
    kActEraseDisplays = 9,
    kActGoTo = 10,
    kActCallPerpetual = 11,
    kActReturnPerpetual = 12,
    kActContinueAfter = 13,
};

struct KernelAction {
    uint32_t op = 0;
    uint32_t icon = 0;
    uint32_t state = 0; // a kernel state; for op 1 the common ancestor
    uint32_t second = 0;
    uint16_t flags = 0;
};

constexpr size_t kKernelActionSize = 18;
constexpr size_t kQueueSavedSize = 22;
constexpr int kQueueGrowEntries = 50;

void kaction_encode(const KernelAction& action, uint8_t out[kKernelActionSize]);
KernelAction kaction_decode(const uint8_t* in);

// Without keep the queue empties; the cursor becomes the count, so new entries run before the
// ones that wait.
void exec_queue_reset(uint32_t entry_size, int keep);
// Inserts at the cursor: 1, or 0 when the block cannot grow (nothing is queued).
int exec_queue_push(const KernelAction& action);
// Inserts the whole plan in order, or nothing when the block cannot take all of it: 1 or 0.
int exec_queue_push_plan(const std::vector<KernelAction>& plan);
// Takes the last entry: 1, or 0 when the queue is empty.
int exec_queue_take(KernelAction* out);
int exec_queue_count();
int exec_queue_cursor();
uint32_t exec_queue_capacity();
// Entry n (0 first); a zero action outside the queue.
KernelAction exec_queue_entry(int n);
// The most entries the block may hold (tests make it small to see a move refused).
void exec_queue_set_limit(int entries);

// Slot 20.
int action_queue_module(ModuleMessage* message);
// Empty, no record (tests and the release).
void exec_queue_reset_all();
