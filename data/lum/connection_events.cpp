// TLumConnection: the events of a commit and a rollback and the steps around
// the engine's call, which the transaction operations run.
#include "data/lum/connection.h"
#include "data/lum/extended_dataset.h"

namespace lum {

void TLumConnection::DoBeforeCommit() {
    if (BeforeCommit) BeforeCommit(*this);
}

void TLumConnection::DoAfterCommit() {
    if (AfterCommit) AfterCommit(*this);
}

void TLumConnection::DoBeforeRollback() {
    if (BeforeRollback) BeforeRollback(*this);
}

void TLumConnection::DoAfterRollback() {
    if (AfterRollback) AfterRollback(*this);
}

void TLumConnection::CommitSteps(const std::function<void()>& engineCommit) {
    DoBeforeCommit();
    CloseCachedStatements();
    engineCommit();
    DoAfterCommit();
}

void TLumConnection::RollbackSteps(const std::function<void()>& engineRollback) {
    DoBeforeRollback();
    CloseCachedStatements();
    // Copies: a dataset told here may detach itself.
    if (cancelOnRollback_) {
        const std::vector<TLumDataSet*> attached = attached_;
        for (TLumDataSet* dataSet : attached)
            if (auto* extended = dynamic_cast<TLumExtendedDataSet*>(dataSet)) extended->CancelPendingEdit();
    }
    engineRollback();
    const std::vector<TLumDataSet*> attached = attached_;
    for (TLumDataSet* dataSet : attached) {
        auto* extended = dynamic_cast<TLumExtendedDataSet*>(dataSet);
        if (extended != nullptr && extended->Active() && extended->State() == fw::TDataSetState::dsBrowse)
            extended->Refresh();
    }
    DoAfterRollback();
}

}  // namespace lum
