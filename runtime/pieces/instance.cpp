#include "runtime/pieces/instance.h"

#include "platform/kernel/error.h"
#include "platform/window/window.h"
#include "platform/window/wndclass.h"
#include "runtime/base/errcode.h"
#include "runtime/base/str.h"
#include "runtime/files/file.h"
#include "runtime/files/fspec_func.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/store/rec_store.h"

namespace {

constexpr int kRecordsSlot = 23;
constexpr int kErrInUse = 32;

struct Question {
    plat::Atom atom = 0;
    int strictness = 0;
    bool in_use = false;
};

} // namespace

static bool ask_window(plat::WindowHandle window, plat::LParam lparam)
{
    Question& question = *reinterpret_cast<Question*>(lparam);
    char class_name[64];
    if (plat::get_class_name(window, class_name, sizeof class_name) <= 0
        || str_compare_nocase(class_name, kMainWindowClass) != 0)
        return true;
    plat::set_last_error(0);
    plat::LResult result = plat::send_message(window, kMsgFileQuestion, question.atom, 0);
    if (result == 0 && plat::get_last_error() != 0)
        return true; // no answer: not open there
    int answer = int(result & 0xFFFF);
    if (answer == kAnswerWritable || (answer == kAnswerReadOnly && question.strictness != 0)) {
        question.in_use = true;
        return false;
    }
    return true;
}

int file_open_in_other_instance(const FileSpec* spec, int strictness)
{
    if (!fspec_is_valid(spec)) {
        plat::set_last_error(kFileErrUnusable);
        return int(kFileErrUnusable);
    }
    char path[kPathBufferSize];
    fspec_get_path(spec, path, sizeof path);
    Question question;
    question.atom = plat::global_add_atom(path);
    question.strictness = strictness;
    if (question.atom == 0)
        return kErrOk; // no atom, nobody to ask
    plat::enum_windows(ask_window, reinterpret_cast<plat::LParam>(&question));
    plat::global_delete_atom(question.atom);
    return question.in_use ? kErrInUse : kErrOk;
}

int piece_file_in_use(const FileSpec* spec)
{
    RecSlot* piece = piece_slot() ? rec_slot(piece_slot()) : nullptr;
    int answer = piece ? rec_file_matches(piece->spec, piece_slot(), spec) : kAnswerNotOpen;
    if (answer == kAnswerNotOpen && piece_records_spec())
        answer = rec_file_matches(piece_records_spec(), kRecordsSlot, spec);
    if (answer == kAnswerNotOpen)
        answer = lib_file_in_use(spec);
    return answer;
}

int piece_answer_file_question(plat::Atom atom)
{
    char path[kPathBufferSize];
    if (plat::global_get_atom_name(atom, path, sizeof path) == 0)
        return kAnswerUnusable;
    FileSpec* spec = nullptr;
    if (fspec_from_path(path, &spec) != kErrOk || !fspec_is_valid(spec)) {
        fspec_free(spec);
        return kAnswerUnusable;
    }
    int answer = piece_file_in_use(spec);
    fspec_free(spec);
    return answer;
}
