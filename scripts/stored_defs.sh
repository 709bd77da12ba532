#!/usr/bin/env bash
# Generates search/stored_transaction_defs.cpp, the field and index
# definitions the window stores with tblpay, from the ZTTRN table that
# payxref-db creates, read through the access layer. Run it after a change
# of tools/practice_schema.json; the stored-definitions test fails until then.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target payxref-stored-defs
"$build"/bin/payxref-stored-defs search/stored_transaction_defs.cpp
clang-format -i search/stored_transaction_defs.cpp
