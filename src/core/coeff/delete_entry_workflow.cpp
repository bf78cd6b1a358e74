#include "core/coeff/delete_entry_workflow.h"

#include "core/app/message_box.h"
#include "core/coeff/entry_exchanges.h"
#include "core/coeff/entry_rules.h"
#include "core/link/identify.h"

namespace qv {

DeleteEntryWorkflow::DeleteEntryWorkflow(const Seams& seams, int entry, std::string comment)
    : s_(seams), entry_(entry), comment_(std::move(comment)) {}

std::optional<IdentifyResult> DeleteEntryWorkflow::identifyType53() {
    SerialChannel* port = s_.state.commPort.get();
    const IdentifyResult id = port ? IdentifyInstrument(*port, s_.clock) : IdentifyResult{};
    tellIdentified(s_.activity, id);
    // Only a type-53 instrument keeps entries: no other is ever sent USD.
    if (isType53Instrument(id)) return id;
    s_.state.bConnected = false;
    s_.prompter.ask(lostLinkMessage(
        id.ok() ? LinkError{LinkFailure::Unrecognised, "IDR", -1, "type " + id.modelCode()}
                : id.error));
    return std::nullopt;
}

bool DeleteEntryWorkflow::open() {
    if (!identifyType53()) return false;
    state_ = readEntryState(*s_.state.commPort, s_.clock, entry_);
    comment_ = state_->comment;
    return true;
}

bool DeleteEntryWorkflow::consent() {
    if (!state_) return false;
    if (state_->free()) return true;
    Message question = messageBox(kStrEmptyEntryQuestion, Icon::Question, Buttons::YesNo);
    question.detail = describe(*state_) + ".";
    return s_.prompter.ask(question) == Answer::Yes;
}

bool DeleteEntryWorkflow::confirm() {
    const std::optional<IdentifyResult> id = identifyType53();
    if (!id) return false;
    const LinkError deleted = deleteEntry(*s_.state.commPort, s_.clock, entry_);
    if (!deleted.ok()) {
        // The dialog stays for another try. Nothing says the cable is at fault: the instrument
        // may have refused, or its answer may have been lost.
        Message m = messageBox(kStrDeletionUnconfirmed, Icon::Warning);
        m.detail = describe(deleted);
        s_.prompter.ask(m);
        return false;
    }
    s_.state.coeffEntryDeleted = true;
    recordEntryChange(s_, RecordKind::EntryDeletion, connectedSerial(*id), id->modelCode(), entry_,
                      comment_);
    s_.prompter.ask(messageBox(kStrEntryDeleted, Icon::Information));
    return true;
}

void DeleteEntryWorkflow::cancel() {
    s_.state.coeffEntryDeleted = false;
}

}  // namespace qv
