#include "core/coeff/delete_entry_workflow.h"

#include "core/app/message_box.h"
#include "core/coeff/entry_exchanges.h"
#include "core/coeff/entry_rules.h"
#include "core/link/identify.h"

namespace qv {

DeleteEntryWorkflow::DeleteEntryWorkflow(const Seams& seams, int entry, std::string comment)
    : s_(seams), entry_(entry), comment_(std::move(comment)) {}

bool DeleteEntryWorkflow::confirm() {
    SerialChannel* port = s_.state.commPort.get();
    const IdentifyResult id = port ? IdentifyInstrument(*port, s_.clock) : IdentifyResult{};
    if (!isKnownInstrument(id)) {
        s_.state.bConnected = false;
        s_.prompter.ask(lostLinkMessage(id.error));
        return false;
    }
    const LinkError deleted = deleteEntry(*port, s_.clock, entry_);
    if (!deleted.ok()) {
        // The dialog stays for another try; the operator learns why this one failed.
        s_.prompter.ask(lostLinkMessage(deleted));
        return false;
    }
    s_.state.coeffEntryDeleted = true;
    recordEntryChange(s_, RecordKind::EntryDeletion, connectedSerial(id), id.modelCode(), entry_,
                      comment_);
    s_.prompter.ask(messageBox(kStrEntryDeleted, Icon::Information));
    return true;
}

void DeleteEntryWorkflow::cancel() {
    s_.state.coeffEntryDeleted = false;
}

}  // namespace qv
