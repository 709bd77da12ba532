// payxref-db's subcommands (create, import, export, demo, use) with their usage
// checks and messages.
#include "tools/commands.h"

#include <charconv>
#include <chrono>
#include <iostream>
#include <stdexcept>

#include "tools/cells.h"
#include "tools/csv.h"
#include "tools/input_file.h"
#include "tools/practice_files.h"
#include "tools/text_1252.h"

#include "store/practice_store.h"

namespace payxref::db {
namespace {

namespace fs = std::filesystem;

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr const char* kUsage =
    "usage: payxref-db COMMAND ...\n"
    "\n"
    "Builds and fills practice databases (dictionary ZTDDF.LDD and table files).\n"
    "\n"
    "commands:\n"
    "  create FOLDER [--schema FILE.json]   create the dictionary and empty tables\n"
    "                                       (default: the practice's ZTTRN and ZTPAX)\n"
    "  import FOLDER TABLE FILE.csv         append the rows of a CSV file, all or nothing\n"
    "  export FOLDER TABLE                  write a table as CSV to standard output\n"
    "  demo FOLDER [--transactions N] [--seed S]\n"
    "                                       create a synthetic practice (default 10000, seed 1)\n"
    "  use FOLDER                           record FOLDER as the current user's practice\n"
    "  --help                               show this text\n"
    "\n"
    "CSV: header row of field names (any case); empty cell = null; numbers with \".\";\n"
    "dates YYYY-MM-DD; timestamps YYYY-MM-DD HH:MM:SS[.fff]; logicals T/F Y/N 1/0 true/false.\n"
    "exit codes: 0 success, 1 failure, 2 usage\n";

// Removes the files a failed create made, so a retry starts clean.
class CreatedFiles {
public:
    ~CreatedFiles() {
        if (keep_) return;
        for (const fs::path& p : files_) {
            std::error_code ignored;
            fs::remove(p, ignored);
        }
    }
    void Add(const fs::path& p) { files_.push_back(p); }
    void Keep() { keep_ = true; }

private:
    std::vector<fs::path> files_;
    bool keep_ = false;
};

struct CreatedPractice {
    std::vector<lce::TableFile> tables;  // in layout order
};

CreatedPractice Create(const fs::path& folder, const PracticeLayout& layout) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw std::runtime_error("cannot create the folder " + folder.string() + ": " + ec.message());
    const fs::path dictionaryPath = folder / layout.dictionary;
    if (fs::exists(dictionaryPath)) throw std::runtime_error(dictionaryPath.string() + " exists already");
    for (const TableLayout& t : layout.tables) {
        if (fs::exists(folder / t.file)) throw std::runtime_error((folder / t.file).string() + " exists already");
    }
    CreatedFiles created;
    CreatedPractice practice;
    created.Add(dictionaryPath);
    lce::Dictionary dictionary = lce::Dictionary::create(dictionaryPath.string());
    for (const UserLayout& u : layout.users) dictionary.addUser(u.name, u.password, u.groups);
    for (const TableLayout& t : layout.tables) {
        created.Add(folder / t.file);
        practice.tables.push_back(lce::TableFile::create((folder / t.file).string(), t.schema));
        dictionary.addTable({t.name, t.file, t.schema.tableType, t.properties});
    }
    created.Keep();
    return practice;
}

// A schema document is small; this bounds what a wrong file can cost.
constexpr std::uint64_t kMaxSchemaBytes = std::uint64_t{16} << 20;

std::int64_t ParseCount(const std::string& option, const std::string& text, std::int64_t low) {
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < low) {
        throw UsageError(option + " needs a whole number of at least " + std::to_string(low) + ", not \"" + text +
                         "\"");
    }
    return value;
}

// Splits arguments into positional ones and --name value options.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
};

Arguments Split(const std::vector<std::string>& args, std::size_t from, const std::vector<std::string>& known) {
    Arguments result;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            bool ok = false;
            for (const std::string& k : known) ok = ok || k == a;
            if (!ok) throw UsageError("unknown option " + a);
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            result.options.emplace_back(a, args[++i]);
        } else {
            result.positional.push_back(a);
        }
    }
    return result;
}

void ExpectPositional(const Arguments& a, std::size_t count, const std::string& usage) {
    if (a.positional.size() != count) throw UsageError("usage: payxref-db " + usage);
}

int Run(const std::vector<std::string>& args, std::ostream& out) {
    if (args.empty()) throw UsageError("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitSuccess;
    }
    if (command == "create") {
        const Arguments a = Split(args, 1, {"--schema"});
        ExpectPositional(a, 1, "create FOLDER [--schema FILE.json]");
        PracticeLayout layout = DefaultLayout();
        for (const auto& [name, value] : a.options)
            layout = ParseLayout(ReadInputFile(value, kMaxSchemaBytes, "schema file"), value);
        CreatePractice(a.positional[0], layout);
        out << "created " << (fs::path(a.positional[0]) / layout.dictionary).string() << " with "
            << layout.tables.size() << " tables\n";
        return kExitSuccess;
    }
    if (command == "import") {
        const Arguments a = Split(args, 1, {});
        ExpectPositional(a, 3, "import FOLDER TABLE FILE.csv");
        const std::int64_t rows = ImportCsv(a.positional[0], a.positional[1], a.positional[2]);
        out << "imported " << rows << " rows into " << a.positional[1] << "\n";
        return kExitSuccess;
    }
    if (command == "export") {
        const Arguments a = Split(args, 1, {});
        ExpectPositional(a, 2, "export FOLDER TABLE");
        ExportCsv(a.positional[0], a.positional[1], out);
        return kExitSuccess;
    }
    if (command == "demo") {
        const Arguments a = Split(args, 1, {"--transactions", "--seed"});
        ExpectPositional(a, 1, "demo FOLDER [--transactions N] [--seed S]");
        DemoOptions options;
        for (const auto& [name, value] : a.options) {
            if (name == "--transactions") options.transactions = ParseCount(name, value, 0);
            if (name == "--seed") options.seed = static_cast<std::uint64_t>(ParseCount(name, value, 0));
        }
        const auto start = std::chrono::steady_clock::now();
        const DemoSummary s = BuildDemo(a.positional[0], options);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        out << "demo practice in " << a.positional[0] << ": " << s.transactions << " transactions (" << s.charges
            << " charges, " << s.payments << " payments and adjustments, " << s.blankType << " with a blank type), "
            << s.applications << " applications; payments settled exactly " << s.exact << ", partly " << s.partial
            << ", over-applied " << s.over << ", sign flipped " << s.signFlip << ", rounding only " << s.rounding
            << ", with a vanished charge " << s.dangling << ", without application " << s.unapplied << "; "
            << took.count() << " s\n";
        return kExitSuccess;
    }
    if (command == "use") {
        const Arguments a = Split(args, 1, {});
        ExpectPositional(a, 1, "use FOLDER");
        const fs::path folder = fs::absolute(a.positional[0]).lexically_normal();
        if (!fs::exists(folder / kDictionaryName)) {
            throw std::runtime_error("no practice dictionary " + (folder / kDictionaryName).string());
        }
        app::RecordCurrentPractice(folder.string());
        out << "current practice: " << folder.string() << "\n";
        return kExitSuccess;
    }
    throw UsageError("unknown command \"" + command + "\"");
}

// Where in the CSV file a fault is: "FILE, line L, column "Name"" for a
// field under a known header, "FILE, line L, column N" for another field.
std::string Where(const std::string& csvPath, std::size_t line, std::size_t field,
                  const std::vector<std::string>& header) {
    std::string where = csvPath + ", line " + std::to_string(line);
    if (field == 0) return where;
    if (field <= header.size()) return where + ", column " + QuoteForMessage(header[field - 1]);
    return where + ", column " + std::to_string(field);
}

}  // namespace

void CreatePractice(const std::string& folder, const PracticeLayout& layout) { Create(folder, layout); }

std::int64_t ImportCsv(const std::string& folder, const std::string& table, const std::string& csvPath) {
    lce::TableFile file = lce::TableFile::openForAppend(TableFilePath(folder, table).string());
    const lce::TableSchema& schema = file.schema();
    const CsvLimits limits;
    InputFile input(csvPath, limits.fileBytes, "CSV file");
    std::istream in(&input);
    CsvReader reader(in, limits);
    std::int64_t count = 0;
    std::vector<std::string> names;  // the table's names of the header's columns
    try {
        const std::optional<CsvRecord> header = reader.Next();
        if (!header) throw std::runtime_error(csvPath + ": the file is empty (no header row)");
        std::vector<std::size_t> columns;
        for (const CsvField& f : header->fields) {
            const auto at = FindColumn(schema, f.text);
            if (!at) {
                throw std::runtime_error(csvPath + ", line " + std::to_string(header->line) + ": table " + table +
                                         " has no column " + QuoteForMessage(f.text));
            }
            for (const std::size_t c : columns) {
                if (c == *at) {
                    throw std::runtime_error(csvPath + ", line " + std::to_string(header->line) + ": column " +
                                             QuoteForMessage(f.text) + " appears twice");
                }
            }
            columns.push_back(*at);
            names.push_back(schema.columns[*at].name);
        }
        lce::TableFile::Transaction transaction(file);
        lce::Row row(schema.columns.size());
        while (const std::optional<CsvRecord> record = reader.Next()) {
            const std::string where = csvPath + ", line " + std::to_string(record->line);
            if (record->fields.size() != columns.size()) {
                throw std::runtime_error(where + ": " + std::to_string(record->fields.size()) +
                                         " fields where the header has " + std::to_string(columns.size()));
            }
            for (lce::Value& v : row) v = lce::Value::null();
            for (std::size_t i = 0; i < columns.size(); ++i) {
                const lce::ColumnDef& column = schema.columns[columns[i]];
                try {
                    row[columns[i]] = ParseCell(record->fields[i].text, record->fields[i].quoted, column);
                } catch (const CellError& e) {
                    throw std::runtime_error(Where(csvPath, record->line, i + 1, names) + ": value " +
                                             QuoteForMessage(record->fields[i].text) + " " + e.what());
                }
            }
            try {
                file.append(row);
            } catch (const lce::Error& e) {
                throw std::runtime_error(where + ": " + e.what());
            }
            ++count;
        }
        transaction.commit();
    } catch (const CsvError& e) {
        throw std::runtime_error(Where(csvPath, e.line(), e.field(), names) + ": " + e.what());
    }
    return count;
}

void ExportCsv(const std::string& folder, const std::string& table, std::ostream& out) {
    const lce::TableFile file = lce::TableFile::openForReading(TableFilePath(folder, table).string());
    const lce::TableSchema& schema = file.schema();
    CsvWriter writer(out);
    std::vector<CsvField> fields(schema.columns.size());
    for (std::size_t i = 0; i < schema.columns.size(); ++i) fields[i] = {schema.columns[i].name, false};
    writer.Write(fields);
    file.forEachRow([&](std::int64_t, const lce::Row& row) {
        for (std::size_t i = 0; i < schema.columns.size(); ++i) {
            fields[i].text = FormatCell(row[i], schema.columns[i], fields[i].quoted);
        }
        writer.Write(fields);
        return true;
    });
    out.flush();
    if (!out) throw std::runtime_error("cannot write the CSV output");
}

namespace {

// The hidden folder a demo practice is built in, inside the practice's folder
// (so its files move into place by renaming them); removed with whatever it
// holds unless the practice has moved out. The practice's folder, when the
// build made it, goes too if it is left empty.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& folder) : folder_(folder) {
        std::error_code ec;
        madeFolder_ = !fs::exists(folder, ec);
        fs::create_directories(folder, ec);
        if (ec) throw std::runtime_error("cannot create the folder " + folder.string() + ": " + ec.message());
        // Named by the moment it is made: two builds into one folder do not share it.
        path_ =
            folder / (".payxref-demo-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::remove_all(path_, ec);
        if (!fs::create_directory(path_, ec) || ec) {
            throw std::runtime_error("cannot create the working folder " + path_.string() + ": " + ec.message() +
                                     "; check that the folder is writable");
        }
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        if (madeFolder_ && !kept_) fs::remove(folder_, ignored);  // only when empty
    }
    const fs::path& path() const { return path_; }

    // Moves the files into the practice's folder, the dictionary last: the
    // practice is there once its dictionary is. A failure takes back the
    // files moved so far.
    void MoveInto(const PracticeLayout& layout) {
        std::vector<std::string> names;
        for (const TableLayout& t : layout.tables) names.push_back(t.file);
        names.push_back(layout.dictionary);
        std::vector<fs::path> moved;
        for (const std::string& name : names) {
            std::error_code ec;
            fs::rename(path_ / name, folder_ / name, ec);
            if (ec) {
                std::error_code ignored;
                for (const fs::path& p : moved) fs::remove(p, ignored);
                throw std::runtime_error("cannot move " + (path_ / name).string() + " into " + folder_.string() + ": " +
                                         ec.message());
            }
            moved.push_back(folder_ / name);
        }
        kept_ = true;
    }

private:
    fs::path folder_, path_;
    bool madeFolder_ = false;
    bool kept_ = false;
};

void FailIfPracticeFiles(const fs::path& folder, const PracticeLayout& layout) {
    if (fs::exists(folder / layout.dictionary))
        throw std::runtime_error((folder / layout.dictionary).string() + " exists already");
    for (const TableLayout& t : layout.tables) {
        if (fs::exists(folder / t.file)) throw std::runtime_error((folder / t.file).string() + " exists already");
    }
}

// Creates the practice in folder and fills it with the generated rows.
DemoSummary FillDemo(const fs::path& folder, const PracticeLayout& layout, const DemoOptions& options) {
    CreatedPractice practice = Create(folder, layout);
    lce::TableFile& transactions = practice.tables.at(0);
    lce::TableFile& applications = practice.tables.at(1);

    class Sink : public DemoSink {
    public:
        Sink(lce::TableFile& t, lce::TableFile& a) : t_(t), a_(a) {}
        void Transaction(const lce::Row& row) override { t_.append(row); }
        void Application(const lce::Row& row) override { a_.append(row); }

    private:
        lce::TableFile& t_;
        lce::TableFile& a_;
    } sink(transactions, applications);

    lce::TableFile::Transaction txTransactions(transactions);
    lce::TableFile::Transaction txApplications(applications);
    const DemoSummary summary = GenerateDemo(options, transactions.schema(), applications.schema(), sink);
    txTransactions.commit();
    txApplications.commit();
    return summary;
}

}  // namespace

// The practice is built in a working folder, its new files filled without
// syncs (see the table's bulk load), and moved into place when complete: a
// build that fails leaves nothing behind, one that is stopped no more than
// its hidden working folder, never half a practice.
DemoSummary BuildDemo(const std::string& folder, const DemoOptions& options) {
    const PracticeLayout& layout = DefaultLayout();
    FailIfPracticeFiles(folder, layout);
    StagingFolder staging(folder);
    const DemoSummary summary = FillDemo(staging.path(), layout, options);
    FailIfPracticeFiles(folder, layout);
    staging.MoveInto(layout);
    return summary;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return Run(args, out);
    } catch (const UsageError& e) {
        err << "payxref-db: " << e.what() << "\n(payxref-db --help lists the commands)\n";
        return kExitUsage;
    } catch (const std::exception& e) {
        err << "payxref-db: " << e.what() << "\n";
        return kExitFailure;
    }
}

}  // namespace payxref::db
