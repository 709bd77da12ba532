// Deterministic synthetic practice data: charges, payments and their applications
// with every kind of unapplied payment the search must find.
#include "tools/demo.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cells.h"
#include "tools/schema.h"

namespace payxref::db {
namespace {

constexpr std::string_view kPaymentLetters = "IJKLMNOSTUV";
constexpr std::string_view kChargeLetters = "ABCDEFGH";

constexpr std::array<std::string_view, 12> kProcedures = {"99203", "99213", "99214", "99215", "90837", "97110",
                                                          "80050", "85025", "93000", "71046", "36415", "J1100"};
constexpr std::array<std::string_view, 11> kPaymentCodes = {"INSPAY", "PTPAY",  "COPAY", "CHECK",  "CASH", "ADJWO",
                                                            "ADJCON", "REFUND", "EFT",   "ADJSML", "CCARD"};
constexpr std::array<std::string_view, 16> kSurnames = {"ABB", "BAK", "CAR", "DAV", "EDW", "FOS", "GAR", "HAL",
                                                        "IRV", "JON", "KIN", "LEE", "MOR", "NAS", "OWE", "PAR"};

// splitmix64: small, fast, and the same sequence everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    std::int64_t Below(std::int64_t n) {
        return static_cast<std::int64_t>((static_cast<unsigned __int128>(Next()) * static_cast<std::uint64_t>(n)) >>
                                         64);
    }
    std::int64_t Between(std::int64_t low, std::int64_t high) { return low + Below(high - low + 1); }

private:
    std::uint64_t state_;
};

std::string Padded(std::int64_t value, std::size_t width) {
    std::string text = std::to_string(value);
    while (text.size() < width) text.insert(text.begin(), '0');
    return text;
}

std::size_t RequiredColumn(const lce::TableSchema& s, std::string_view table, std::string_view name) {
    const auto at = FindColumn(s, name);
    if (!at) {
        throw std::invalid_argument("the " + std::string(table) + " table has no column \"" + std::string(name) + "\"");
    }
    return *at;
}

// Column positions of the fields the generator fills; absent ones stay unset.
struct TransactionColumns {
    explicit TransactionColumns(const lce::TableSchema& s)
        : chart(FindColumn(s, "Chart Number")),
          caseNumber(FindColumn(s, "Case Number")),
          entry(Required(s, "Entry Number")),
          claim(FindColumn(s, "Claim Number")),
          dateFrom(FindColumn(s, "Date From")),
          dateTo(FindColumn(s, "Date To")),
          document(FindColumn(s, "Document Number")),
          description(FindColumn(s, "Description")),
          provider(FindColumn(s, "Attending Provider")),
          procedure(FindColumn(s, "Procedure Code")),
          type(Required(s, "Transaction Type")),
          units(FindColumn(s, "Units")),
          amount(Required(s, "Amount")),
          dateCreated(FindColumn(s, "Date Created")),
          userCode(FindColumn(s, "User Code")),
          depositId(FindColumn(s, "Deposit ID")),
          checkNumber(FindColumn(s, "Check Number")),
          unapplied(FindColumn(s, "Unapplied Amount")),
          dateModified(FindColumn(s, "Date Modified")),
          facility(FindColumn(s, "Facility")),
          copayExpected(FindColumn(s, "Copayment_Expected_Amount")),
          width(s.columns.size()) {}

    static std::size_t Required(const lce::TableSchema& s, std::string_view name) {
        return RequiredColumn(s, "transaction", name);
    }

    std::optional<std::size_t> chart, caseNumber;
    std::size_t entry;
    std::optional<std::size_t> claim, dateFrom, dateTo, document, description, provider, procedure;
    std::size_t type;
    std::optional<std::size_t> units;
    std::size_t amount;
    std::optional<std::size_t> dateCreated, userCode, depositId, checkNumber, unapplied, dateModified, facility,
        copayExpected;
    std::size_t width;
};

struct ApplicationColumns {
    explicit ApplicationColumns(const lce::TableSchema& s)
        : payment(Required(s, "Payment Reference")),
          charge(Required(s, "Charge Reference")),
          amount(Required(s, "Payment Amount")),
          chart(FindColumn(s, "Chart Number")),
          dateCreated(FindColumn(s, "Date Created")),
          width(s.columns.size()) {}

    static std::size_t Required(const lce::TableSchema& s, std::string_view name) {
        return RequiredColumn(s, "application", name);
    }

    std::size_t payment, charge, amount;
    std::optional<std::size_t> chart, dateCreated;
    std::size_t width;
};

void Set(lce::Row& row, const std::optional<std::size_t>& column, lce::Value value) {
    if (column) row[*column] = std::move(value);
}

enum class Outcome { Exact, Partial, Over, SignFlip, Rounding, Dangling, None };

class Generator {
public:
    Generator(const DemoOptions& options, const lce::TableSchema& transactions, const lce::TableSchema& applications,
              DemoSink& sink)
        : options_(options),
          random_(options.seed),
          tx_(transactions),
          app_(applications),
          sink_(sink),
          row_(tx_.width),
          appRow_(app_.width) {}

    DemoSummary Run() {
        const std::int64_t firstDay = JulianDay(2015, 1, 5);
        std::int64_t patient = 0;
        while (Room()) {
            ++patient;
            chart_ = std::string(kSurnames[static_cast<std::size_t>(random_.Below(kSurnames.size()))]) +
                     Padded(patient % 100000, 5);
            const std::int64_t cases = random_.Between(1, 3);
            for (std::int64_t c = 1; c <= cases && Room(); ++c) {
                Case(c, firstDay + random_.Below(3600));
            }
        }
        return summary_;
    }

private:
    bool Room() const { return summary_.transactions < options_.transactions; }

    // A case: its charges, then the payments and adjustments that pay them.
    void Case(std::int64_t caseNumber, std::int64_t day) {
        caseNumber_ = caseNumber;
        charges_.clear();
        const std::int64_t chargeCount = random_.Between(1, 4);
        for (std::int64_t i = 0; i < chargeCount && Room(); ++i) Charge(day + i);
        // A charge that was deleted later: its entry number stays in use by applications.
        if (random_.Below(60) == 0) vanished_.push_back(nextEntry_++);
        if (charges_.empty()) return;
        const std::int64_t payments = random_.Between(1, 3);
        for (std::int64_t i = 0; i < payments && Room(); ++i) Payment(day + 20 + 15 * i);
        if (random_.Below(400) == 0 && Room()) BlankType(day + 30);
        if (random_.Below(400) == 0) {
            // A charge named as payment reference: never examined by the search.
            Apply(charges_.front(), charges_.back(), 12.5, day + 40);
            ++summary_.chargeAsPayment;
        }
    }

    void StartRow(std::int64_t day) {
        for (lce::Value& v : row_) v = lce::Value::null();
        row_[tx_.entry] = lce::Value::ofInteger(nextEntry_);
        Set(row_, tx_.chart, lce::Value::ofText(chart_));
        Set(row_, tx_.caseNumber, lce::Value::ofInteger(caseNumber_));
        Set(row_, tx_.dateFrom, lce::Value::ofDate(day));
        Set(row_, tx_.dateTo, lce::Value::ofDate(day));
        Set(row_, tx_.dateCreated, lce::Value::ofDate(day + 1));
        Set(row_, tx_.dateModified,
            lce::Value::ofTimestamp(day + 2, static_cast<std::uint32_t>(random_.Below(86400000))));
        Set(row_, tx_.document, lce::Value::ofText(Padded(day * 10 + caseNumber_, 10)));
        Set(row_, tx_.provider, lce::Value::ofText("DR" + Padded(random_.Between(1, 12), 2)));
        Set(row_, tx_.userCode, lce::Value::ofText("USER" + Padded(random_.Between(1, 5), 2)));
        Set(row_, tx_.facility, lce::Value::ofText("MAIN"));
    }

    std::int64_t Emit() {
        sink_.Transaction(row_);
        ++summary_.transactions;
        return nextEntry_++;
    }

    void Charge(std::int64_t day) {
        StartRow(day);
        const std::int64_t quarters = random_.Between(160, 1800);  // 40.00 to 450.00
        const auto procedure = kProcedures[static_cast<std::size_t>(random_.Below(kProcedures.size()))];
        row_[tx_.type] = lce::Value::ofText(
            std::string(1, kChargeLetters[static_cast<std::size_t>(random_.Below(kChargeLetters.size()))]));
        row_[tx_.amount] = lce::Value::ofDouble(static_cast<double>(quarters) * 0.25);
        Set(row_, tx_.procedure, lce::Value::ofText(std::string(procedure)));
        Set(row_, tx_.description, lce::Value::ofText("Procedure " + std::string(procedure)));
        Set(row_, tx_.units, lce::Value::ofDouble(static_cast<double>(random_.Between(1, 4))));
        Set(row_, tx_.claim, lce::Value::ofInteger(100000 + summary_.charges / 3));
        if (random_.Below(5) == 0) {
            Set(row_, tx_.copayExpected, lce::Value::ofScaled(random_.Between(1, 8) * 50000));
        }
        charges_.push_back(Emit());
        ++summary_.charges;
    }

    Outcome PickOutcome() {
        const std::int64_t roll = random_.Below(1000);
        if (roll < 780) return Outcome::Exact;
        if (roll < 850) return Outcome::Partial;
        if (roll < 890) return Outcome::Over;
        if (roll < 920) return Outcome::SignFlip;
        if (roll < 950) return Outcome::Rounding;
        if (roll < 970 && !vanished_.empty()) return Outcome::Dangling;
        return Outcome::None;
    }

    std::int64_t SomeCharge() {
        return charges_[static_cast<std::size_t>(random_.Below(static_cast<std::int64_t>(charges_.size())))];
    }

    // Applies `quarters` in one to three parts to charges of the case.
    void ApplyQuarters(std::int64_t payment, std::int64_t quarters, std::int64_t day) {
        const std::int64_t parts = quarters < 3 ? 1 : random_.Between(1, 3);
        std::int64_t left = quarters;
        for (std::int64_t p = 1; p <= parts; ++p) {
            const std::int64_t piece = p == parts ? left : random_.Between(1, left - (parts - p));
            left -= piece;
            Apply(payment, SomeCharge(), static_cast<double>(piece) * 0.25, day);
        }
    }

    void Apply(std::int64_t payment, std::int64_t charge, double amount, std::int64_t day) {
        for (lce::Value& v : appRow_) v = lce::Value::null();
        appRow_[app_.payment] = lce::Value::ofInteger(payment);
        appRow_[app_.charge] = lce::Value::ofInteger(charge);
        appRow_[app_.amount] = lce::Value::ofDouble(amount);
        Set(appRow_, app_.chart, lce::Value::ofText(chart_));
        Set(appRow_, app_.dateCreated, lce::Value::ofDate(day));
        sink_.Application(appRow_);
        ++summary_.applications;
    }

    // Two cent amounts whose double sum differs from the amount they make.
    void RoundingPair(double& first, double& second, double& total) {
        for (int attempt = 0; attempt < 64; ++attempt) {
            const std::int64_t a = random_.Between(101, 9999);
            const std::int64_t b = random_.Between(101, 9999);
            first = static_cast<double>(a) / 100.0;
            second = static_cast<double>(b) / 100.0;
            total = static_cast<double>(a + b) / 100.0;
            if (first + second != total) return;
        }
        first = 10.1;
        second = 20.2;
        total = 30.3;
    }

    void Payment(std::int64_t day) {
        StartRow(day);
        const std::size_t letter = static_cast<std::size_t>(summary_.payments % kPaymentLetters.size());
        row_[tx_.type] = lce::Value::ofText(std::string(1, kPaymentLetters[letter]));
        Set(row_, tx_.procedure, lce::Value::ofText(std::string(kPaymentCodes[letter])));
        Set(row_, tx_.description, lce::Value::ofText("Payment " + std::string(kPaymentCodes[letter])));
        Set(row_, tx_.depositId, lce::Value::ofInteger(day));
        if (letter % 2 == 0) Set(row_, tx_.checkNumber, lce::Value::ofText(Padded(random_.Below(1000000), 6)));
        const Outcome outcome = PickOutcome();
        const std::int64_t quarters = random_.Between(40, 1600);  // 10.00 to 400.00
        double amount = static_cast<double>(quarters) * 0.25;
        double first = 0;
        double second = 0;
        if (outcome == Outcome::Rounding) RoundingPair(first, second, amount);
        if (outcome == Outcome::SignFlip) amount = -amount;
        row_[tx_.amount] = lce::Value::ofDouble(amount);
        Set(row_, tx_.unapplied, lce::Value::ofDouble(0.0));
        const std::int64_t payment = Emit();
        ++summary_.payments;
        switch (outcome) {
            case Outcome::Exact:
                ApplyQuarters(payment, quarters, day);
                ++summary_.exact;
                break;
            case Outcome::Partial:
                ApplyQuarters(payment, random_.Between(1, quarters - 1), day);
                ++summary_.partial;
                break;
            case Outcome::Over:
                ApplyQuarters(payment, quarters + random_.Between(1, 200), day);
                ++summary_.over;
                break;
            case Outcome::SignFlip:
                ApplyQuarters(payment, quarters, day);
                ++summary_.signFlip;
                break;
            case Outcome::Rounding:
                Apply(payment, SomeCharge(), first, day);
                Apply(payment, SomeCharge(), second, day);
                ++summary_.rounding;
                break;
            case Outcome::Dangling: {
                const std::int64_t lost = random_.Between(1, quarters - 1);
                ApplyQuarters(payment, quarters - lost, day);
                const auto gone =
                    vanished_[static_cast<std::size_t>(random_.Below(static_cast<std::int64_t>(vanished_.size())))];
                Apply(payment, gone, static_cast<double>(lost) * 0.25, day);
                ++summary_.dangling;
                break;
            }
            case Outcome::None: ++summary_.unapplied; break;
        }
    }

    // An adjustment whose type was left blank, with an application.
    void BlankType(std::int64_t day) {
        StartRow(day);
        row_[tx_.type] = lce::Value::ofText("");
        row_[tx_.amount] = lce::Value::ofDouble(25.0);
        const std::int64_t entry = Emit();
        Apply(entry, SomeCharge(), 20.0, day);
        ++summary_.blankType;
    }

    const DemoOptions& options_;
    Random random_;
    TransactionColumns tx_;
    ApplicationColumns app_;
    DemoSink& sink_;
    lce::Row row_;
    lce::Row appRow_;
    DemoSummary summary_;
    std::int64_t nextEntry_ = 1;
    std::int64_t caseNumber_ = 0;
    std::string chart_;
    std::vector<std::int64_t> charges_;
    std::vector<std::int64_t> vanished_;
};

}  // namespace

DemoSummary GenerateDemo(const DemoOptions& options, const lce::TableSchema& transactions,
                         const lce::TableSchema& applications, DemoSink& sink) {
    if (options.transactions < 0) throw std::invalid_argument("the number of transactions must not be negative");
    return Generator(options, transactions, applications, sink).Run();
}

}  // namespace payxref::db
