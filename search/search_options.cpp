// Reading and checking the options of `payxref search`. Every check happens
// here, before the practice is opened, so a mistyped option costs nothing and
// reads as a usage error.
#include "search/search_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "framework/format.h"
#include "search/table_text.h"

namespace app {
namespace {

// What a chart number, provider code and procedure code hold at most.
constexpr std::size_t kChartLength = 8;
constexpr std::size_t kProviderLength = 5;
constexpr std::size_t kCodeLength = 10;
// No argument of the command is longer; a longer one is a mistake.
constexpr std::size_t kLongestValue = 4096;
// More codes than a practice uses; the query's condition stays small.
constexpr std::size_t kMostCodes = 100;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<IsoDate> ParseIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const std::string_view view(text);
    if (!IsDigits(view.substr(0, 4)) || !IsDigits(view.substr(5, 2)) || !IsDigits(view.substr(8, 2)))
        return std::nullopt;
    const int year = std::stoi(text.substr(0, 4));
    const int month = std::stoi(text.substr(5, 2));
    const int day = std::stoi(text.substr(8, 2));
    try {
        return IsoDate{text, static_cast<long>(fw::EncodeDate(year, month, day))};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A number of 0 or more written in C notation ("0.005", "1e-3").
std::optional<double> ParseNonNegative(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, fault] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (fault != std::errc() || stop != end || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedSearchCommand Run() {
        bool optionsEnded = false;
        for (at_ = 0; at_ < args_.size() && result_.usageError.empty(); ++at_) {
            const std::string& arg = args_[at_];
            if (arg.size() > kLongestValue) {
                Fail("an argument is longer than " + std::to_string(kLongestValue) + " characters");
            } else if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
                Folder(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
                result_.help = true;
            } else {
                Option(arg);
            }
        }
        if (result_.usageError.empty()) CheckCombinations();
        return result_;
    }

private:
    void Fail(const std::string& message) {
        if (result_.usageError.empty()) result_.usageError = message;
    }

    void Folder(const std::string& arg) {
        if (options().folder) {
            Fail("only one practice folder can be named (" + Quoted(*options().folder) + " and " + Quoted(arg) + ")");
            return;
        }
        options().folder = arg;
    }

    // "--name value" or "--name=value".
    void Option(const std::string& arg) {
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (name == "--summary" || name == "--quiet") {
            if (equals != std::string::npos) return Fail("option " + name + " takes no value");
            (name == "--summary" ? options().summary : options().quiet) = true;
            return;
        }
        const auto handler = Handlers().find(name);
        if (handler == Handlers().end()) return Fail("unknown option " + Quoted(name));
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (at_ + 1 < args_.size()) {
            value = args_[++at_];
        } else {
            return Fail("option " + name + " needs a value");
        }
        if (value.size() > kLongestValue) return Fail("the value of " + name + " is too long");
        if (name != "--code" && !seen_.emplace(name).second) return Fail("option " + name + " is given twice");
        handler->second(*this, name, value);
    }

    using Handler = std::function<void(Parser&, const std::string&, const std::string&)>;
    static const std::map<std::string, Handler>& Handlers() {
        static const std::map<std::string, Handler> handlers{
            {"--from", [](Parser& p, const std::string& n, const std::string& v) { p.Date(n, v, p.options().from); }},
            {"--to", [](Parser& p, const std::string& n, const std::string& v) { p.Date(n, v, p.options().to); }},
            {"--chart",
             [](Parser& p, const std::string& n, const std::string& v) {
                 p.options().chart = p.TableValue(n, v, kChartLength, "a chart number");
             }},
            {"--provider",
             [](Parser& p, const std::string& n, const std::string& v) {
                 p.options().provider = p.TableValue(n, v, kProviderLength, "a provider code");
             }},
            {"--code",
             [](Parser& p, const std::string& n, const std::string& v) {
                 if (p.options().codes.size() == kMostCodes)
                     return p.Fail("at most " + std::to_string(kMostCodes) + " codes can be given");
                 p.options().codes.push_back(p.TableValue(n, v, kCodeLength, "a payment or adjustment code"));
             }},
            {"--min-difference", [](Parser& p, const std::string& n, const std::string& v) { p.MinDifference(n, v); }},
            {"--format", [](Parser& p, const std::string& n, const std::string& v) { p.Format(n, v); }},
            {"--output",
             [](Parser& p, const std::string& n, const std::string& v) { p.options().output = p.FileName(n, v); }},
            {"--pdf",
             [](Parser& p, const std::string& n, const std::string& v) { p.options().pdf = p.FileName(n, v); }},
        };
        return handlers;
    }

    void Date(const std::string& name, const std::string& value, std::optional<IsoDate>& into) {
        into = ParseIsoDate(value);
        if (!into) Fail(name + ": " + Quoted(value) + " is not a date; write it as YYYY-MM-DD, e.g. 2024-01-31");
    }

    // A value compared with a character column: 8-bit table text of at most
    // `length` characters, without control characters.
    std::string TableValue(const std::string& name, const std::string& value, std::size_t length, const char* what) {
        if (value.empty()) {
            Fail(name + ": the value is empty");
            return {};
        }
        const std::optional<std::string> text = TableTextFromUtf8(value);
        if (!text) {
            Fail(name + ": " + Quoted(value) + " holds a character the practice's tables cannot hold");
            return {};
        }
        for (const char ch : *text) {
            const unsigned char b = static_cast<unsigned char>(ch);
            if (b < 0x20 || b == 0x7F) {
                Fail(name + ": the value holds a control character");
                return {};
            }
        }
        if (text->size() > length) {
            Fail(name + ": " + Quoted(value) + " is longer than the " + std::to_string(length) + " characters " + what +
                 " has");
        }
        return *text;
    }

    void MinDifference(const std::string& name, const std::string& value) {
        options().minDifference = ParseNonNegative(value);
        if (!options().minDifference) Fail(name + ": " + Quoted(value) + " is not a number of 0 or more, e.g. 0.005");
    }

    void Format(const std::string& name, const std::string& value) {
        static const std::map<std::string, ListingFormat> formats{{"text", ListingFormat::Text},
                                                                  {"csv", ListingFormat::Csv},
                                                                  {"json", ListingFormat::Json},
                                                                  {"none", ListingFormat::None}};
        const auto found = formats.find(value);
        if (found == formats.end()) return Fail(name + ": " + Quoted(value) + " is not one of text, csv, json, none");
        options().format = found->second;
    }

    std::string FileName(const std::string& name, const std::string& value) {
        if (value.empty()) Fail(name + ": the file name is empty");
        return value;
    }

    void CheckCombinations() {
        const SearchOptions& o = options();
        if (o.from && o.to && o.from->day > o.to->day)
            return Fail("--from " + o.from->text + " is after --to " + o.to->text);
        if (o.format == ListingFormat::None && !o.summary && !o.pdf)
            return Fail("--format none lists nothing: add --summary or --pdf FILE");
        if (o.format == ListingFormat::None && o.output)
            return Fail("--output FILE receives the listing, and --format none lists nothing");
        if (o.format == ListingFormat::Csv && o.summary && !o.output)
            return Fail(
                "--summary with --format csv needs --output FILE: the CSV listing goes to the file, "
                "the summary to standard output");
        if (o.output && o.pdf && *o.output == *o.pdf) Fail("--output and --pdf name the same file");
    }

    SearchOptions& options() { return result_.options; }

    const std::vector<std::string>& args_;
    std::size_t at_ = 0;
    std::set<std::string> seen_;
    ParsedSearchCommand result_;
};

}  // namespace

ParsedSearchCommand ParseSearchCommand(const std::vector<std::string>& args) { return Parser(args).Run(); }

const std::string& SearchHelpText() {
    static const std::string text =
        "usage: payxref search [FOLDER] [OPTIONS]\n"
        "Lists the payments and adjustments of the practice in FOLDER (default: the\n"
        "current practice recorded for this user) that are not completely applied.\n"
        "\n"
        "Which payments (on the payment's own transaction):\n"
        "  --from DATE            Date From on or after DATE (YYYY-MM-DD)\n"
        "  --to DATE              Date From on or before DATE (YYYY-MM-DD)\n"
        "  --chart CHART          the patient's chart number\n"
        "  --provider CODE        the attending provider\n"
        "  --code CODE            the payment or adjustment code; repeat for several\n"
        "  --min-difference X     leave out payments whose |difference| is below X\n"
        "\n"
        "What is written:\n"
        "  --format FORMAT        text (default: the window's lines), csv (a header row,\n"
        "                         then one row per payment), json (one object per\n"
        "                         line), or none (only --summary or --pdf)\n"
        "  --output FILE          the listing into FILE instead of standard output;\n"
        "                         FILE is replaced whole, or left as it was on failure\n"
        "  --summary              the count of payments, the sums of the positive (not\n"
        "                         completely applied) and negative (over-applied)\n"
        "                         differences, and the same per code, on standard\n"
        "                         output after the listing (JSON with --format json)\n"
        "  --pdf FILE             the text listing as a PDF report\n"
        "  --quiet                no progress bar on a terminal\n"
        "  --help                 this text\n"
        "\n"
        "Filters with text compare exactly (trailing blanks aside). Exit codes: 0 done,\n"
        "1 the search failed, 2 a usage error.\n"
        "\n"
        "Examples:\n"
        "  payxref search /srv/practice --from 2024-01-01 --to 2024-12-31\n"
        "  payxref search --chart SMI00001 --min-difference 0.005\n"
        "  payxref search --code CASH --code CHECK --format csv --output payments.csv\n"
        "  payxref search --format none --summary\n"
        "  payxref search --format json --summary > payments.jsonl\n";
    return text;
}

}  // namespace app
