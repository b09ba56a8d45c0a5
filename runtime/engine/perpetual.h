// Perpetual calls: a perpetual response of another interaction (or a Framework's page) interrupts
// the current icon like a subroutine call. A 36-byte frame keeps the interrupted kernel context,
// the response's interaction with its selected child, and the response; the return restores the
// context. Frames live in the kernel's call-stack tag list and so survive a save and a resume.
#pragma once
#include "runtime/engine/kernel.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>
#include <string>

struct PerpetualCallFrame {
    KernelContext context; // the interrupted one
    IconId interaction = 0; // 0 when the response's parent is not an Interaction (a page)
    IconId selected = 0;    // that interaction's selected child at the call
    IconId response = 0;
};

void frame_encode(const PerpetualCallFrame& frame, uint8_t out[kFrameSize]);
PerpetualCallFrame frame_decode(const uint8_t* in);
// Frame n (1 the outermost, the depth the innermost): 1, or 0 when there is none.
int exec_frame(int n, PerpetualCallFrame* out);

// Calls the response: 1, or 0 when it is already running in the call stack or no frame fits.
// flag passes bit 1 to the branch.
int exec_enter_perpetual(IconId response, int flag);
// 1 when the innermost frame was the response's and the interrupted icon is back.
int exec_return_perpetual(IconId response);
// A response that is not a return ends as the innermost call: back, then a jump to its interaction.
void exec_abandon_perpetual(IconId response);
// 1 when a frame calls the response (a Navigate icon with attribute 0x2020308 set never counts).
int exec_in_call_stack(IconId response);
// 1 when a frame's interrupted icon X is a proper ancestor of the page's Framework and X's child
// on the path down to it is a page.
int exec_called_in_framework_page(IconId page);
// The interrupted icon of the innermost frame when the icon is that frame's response, else 0.
IconId exec_called_from(IconId icon);
// One line per frame from the innermost: KIND "TITLE" called from KIND "TITLE", each ended by CR.
std::string exec_call_stack_text();
// ContextLeave from `from` up, ContextEnter from `to` up, each to the first shared ancestor.
void exec_switch_context(IconId from, IconId to);

// The queue's frame actions (ops 7 and 8).
void exec_action_drop_frame(IconId response);
void exec_action_transfer_frame(IconId response, IconId target);
// 1 when a jump from the response to the target may keep the call: a return response of the
// same Interaction, or one page to another of a Framework.
int exec_frame_transferable(IconId target, IconId response, IconId container);
// 1 for a page: a child in a Framework's page list.
int exec_is_page(IconId icon);

// Binds the kernel's frame and perpetual hooks.
void perpetual_install();
