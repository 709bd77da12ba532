// TLumConnection's transactions and savepoints: each asks for a connection,
// commit and rollback run the steps that tell the events and the attached
// datasets; beginning, committing and rolling back report the engine's
// failure as a LumError, the others pass the engine-result check.
#include "data/lum/connection.h"
#include "data/lum/errors.h"

namespace lum {

namespace {

// Savepoint calls take option bits; none are used.
constexpr UNSIGNED32 NoSavepointOptions = 0;

// Beginning, committing and rolling back report the engine's own failure.
void CheckTransactionResult(const LumFunctions& engine, UNSIGNED32 result) {
    if (result != 0) throw LumError(engine, result);
}

}  // namespace

void TLumConnection::BeginTransaction() {
    RequireConnection();
    CheckTransactionResult(*engine_, engine_->LumBeginTransaction(handle_));
}

void TLumConnection::Commit() {
    RequireConnection();
    CommitSteps([this] { CheckTransactionResult(*engine_, engine_->LumCommitTransaction(handle_)); });
}

void TLumConnection::Rollback() {
    RequireConnection();
    RollbackSteps([this] { CheckTransactionResult(*engine_, engine_->LumRollbackTransaction(handle_)); });
}

bool TLumConnection::InTransaction() {
    RequireConnection();
    UNSIGNED16 inTransaction = 0;
    CheckLCEResult(*engine_, nullptr, engine_->LumInTransaction(handle_, &inTransaction));
    return inTransaction == 1;
}

std::uint32_t TLumConnection::TransactionCount() {
    RequireConnection();
    UNSIGNED32 count = 0;
    CheckLCEResult(*engine_, nullptr, engine_->LumGetTransactionCount(handle_, &count));
    return count;
}

void TLumConnection::CreateSavepoint(const std::string& name) {
    RequireConnection();
    CheckLCEResult(*engine_, nullptr, engine_->LumCreateSavepoint(handle_, name.c_str(), NoSavepointOptions));
}

void TLumConnection::RollbackToSavepoint(const std::string& name) {
    if (name.empty()) return Rollback();
    RequireConnection();
    CheckLCEResult(*engine_, nullptr, engine_->LumRollbackTransaction80(handle_, name.c_str(), NoSavepointOptions));
}

}  // namespace lum
