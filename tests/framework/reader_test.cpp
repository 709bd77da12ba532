// The reader of stored descriptions: order of values, references and Loaded, and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/reader.h"
#include "framework/writer.h"

namespace {

using fw::ComponentRef;
using fw::PropertyValue;
using fw::TComponent;

using Log = std::vector<std::string>;

std::string Describe(const PropertyValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return "\"" + *text + "\"";
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    if (const auto* number = std::get_if<long long>(&value)) return std::to_string(*number);
    if (const auto* component = std::get_if<TComponent*>(&value))
        return *component ? "->" + (*component)->Name() : "->nil";
    return "?";
}

// Logs every property it is given and when it is told loading has ended,
// with the loading state of itself and of its owner at that moment.
class Streamed : public TComponent, public fw::IStreamable {
public:
    Streamed(TComponent* owner, Log& log) : TComponent(owner), log_(log) {}

    void SetStoredProperty(const std::string& path, const PropertyValue& value) override {
        if (path == "Bogus") throw fw::EConvertError("Unknown property: " + path);
        log_.push_back(Name() + "." + path + "=" + Describe(value) + State());
    }

protected:
    void Loaded() override {
        TComponent::Loaded();
        log_.push_back(Name() + " loaded" + State());
    }

private:
    std::string State() const {
        return std::string(Loading() ? " L" : " -") + (Owner() && Owner()->Loading() ? "L" : "-");
    }
    Log& log_;
};

class Plain : public TComponent {
public:
    using TComponent::TComponent;
};

class ReaderTest : public ::testing::Test {
protected:
    ReaderTest() : root(nullptr, log) {
        root.SetName("frmMain");
        reader.RegisterClass("TStreamed",
                             [this](TComponent& owner) -> TComponent& { return owner.CreateOwned<Streamed>(log); });
        reader.RegisterClass("TPlain", [](TComponent& owner) -> TComponent& { return owner.CreateOwned<Plain>(); });
    }

    Log log;
    Streamed root;
    fw::TReader reader;
};

TEST_F(ReaderTest, ValuesInOrderThenReferencesThenLoaded) {
    const fw::StoredWindow window{
        {{"Caption", std::string("Payment Cross Reference Tool")}},
        {
            {"TStreamed", "LumConnection1", {{"IsConnected", true}, {"Username", std::string("user")}}},
            // Refers forward to tblpay and back to the connection and the window.
            {"TStreamed", "dsQryChg", {{"DataSet", ComponentRef{"tblpay"}}, {"Tag", 7LL}}},
            {"TStreamed",
             "tblpay",
             {{"LumConnection", ComponentRef{"lumconnection1"}},
              {"Owner", ComponentRef{"frmMain"}},
              {"MasterSource", ComponentRef{""}}}},
        }};
    reader.Read(root, window);
    const Log expected = {
        "frmMain.Caption=\"Payment Cross Reference Tool\" L-",
        "LumConnection1.IsConnected=true LL",
        "LumConnection1.Username=\"user\" LL",
        "dsQryChg.Tag=7 LL",
        "dsQryChg.DataSet=->tblpay LL",
        "tblpay.LumConnection=->LumConnection1 LL",
        "tblpay.Owner=->frmMain LL",
        "tblpay.MasterSource=->nil LL",
        "LumConnection1 loaded -L",
        "dsQryChg loaded -L",
        "tblpay loaded -L",
        "frmMain loaded --",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(root.ComponentCount(), 3u);
    EXPECT_EQ(root.FindComponent("TBLPAY"), &root.Component(2));
}

TEST_F(ReaderTest, FailuresNameTheCauseAndLeaveNothingLoading) {
    const struct {
        fw::StoredWindow window;
        const char* message;
        std::size_t created;
    } cases[] = {
        {{{}, {{"TStreamed", "qryPay", {}}, {"TStreamed", "tblpay", {{"MasterSource", ComponentRef{"dsQryChg"}}}}}},
         "Component dsQryChg referenced by tblpay.MasterSource was not found",
         2},
        {{{}, {{"TStreamed", "qryPay", {}}, {"TMissing", "x", {}}}}, "Class TMissing not found", 1},
        {{{}, {{"TPlain", "Plain1", {{"Caption", std::string("x")}}}}}, "Unknown property: Plain1.Caption", 1},
        {{{}, {{"TStreamed", "qryPay", {}}, {"TStreamed", "QRYPAY", {}}}},
         "A component named QRYPAY already exists",
         2},
        {{{}, {{"TStreamed", "qryPay", {{"Bogus", true}}}}}, "Unknown property: Bogus", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Streamed form(nullptr, log);
        log.clear();
        try {
            reader.Read(form, c.window);
            ADD_FAILURE() << "no failure";
        } catch (const fw::EConvertError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(form.ComponentCount(), c.created);  // still owned, freed with the form
        EXPECT_FALSE(form.Loading());
        for (std::size_t i = 0; i < form.ComponentCount(); ++i) EXPECT_FALSE(form.Component(i).Loading());
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const std::string& l) { return l.find("loaded") != std::string::npos; }),
                  0);
    }
}

TEST_F(ReaderTest, RootWithPropertiesMustBeStreamable) {
    Plain bare;
    const fw::StoredWindow window{{{"Caption", std::string("x")}}, {}};
    try {
        reader.Read(bare, window);
        ADD_FAILURE();
    } catch (const fw::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Unknown property: Caption");
    }
    reader.Read(bare, {{}, {{"TPlain", "Timer1", {}}}});  // no properties: any component will do
    EXPECT_EQ(bare.ComponentCount(), 1u);
}

// A writer takes properties up to its bounds on their number and on the bytes
// of their paths and texts; the one that would pass a bound is refused whole.
TEST(Writer, StopsAtItsBoundsOnCountAndBytes) {
    struct Case {
        const char* name;
        std::size_t maxProperties, maxBytes;
        std::size_t taken;  // of the four writes below
    };
    // The writes take 1 + 8, 1 + 5, 1 + 2 + 2 (two lines) and 1 + 3 bytes.
    const Case cases[] = {
        {"room for all", 4, 24, 4},
        {"one property short", 3, 1000, 3},
        {"one byte short", 4, 23, 3},
        {"no room for texts", 10, 8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fw::TWriter writer(c.maxProperties, c.maxBytes);
        const std::pair<const char*, PropertyValue> writes[] = {{"A", 7LL},
                                                                {"B", std::string("hello")},
                                                                {"C", std::vector<std::string>{"x", "y"}},
                                                                {"D", fw::Ident{"ftX"}}};
        std::size_t taken = 0;
        for (const auto& [path, value] : writes) {
            try {
                writer.Write(path, value);
                ++taken;
            } catch (const fw::EConvertError& e) {
                EXPECT_EQ(e.Message(), std::string("Stored properties too large: ") + path);
                break;
            }
        }
        EXPECT_EQ(taken, c.taken);
        ASSERT_EQ(writer.Properties().size(), c.taken);
        if (c.taken > 0) {
            EXPECT_EQ(writer.Properties()[0].second, PropertyValue(7LL));
        }
    }
}

}  // namespace
