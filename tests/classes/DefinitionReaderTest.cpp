#include "classes/DefinitionReader.h"

#include <gtest/gtest.h>

#include "classes/Component.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

// A component that records what the reader gives it.
class TProbe : public TComponent {
public:
    explicit TProbe(TComponent* owner) : TComponent(owner) {}
    ~TProbe() override {
        if (destroyed != nullptr) destroyed->push_back(Name());
    }
    std::string_view ClassName() const override { return "TProbe"; }

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override {
        if (name == "Caption") {
            caption = value.AsText();
            loadingWhileRead = IsLoading() && IsReading();
        } else if (name == "Count") {
            count = value.AsInteger();
        } else if (name == "Ratio") {
            ratio = value.AsReal();
        } else if (name == "Enabled") {
            enabled = value.AsBoolean();
        } else if (name == "Options") {
            options = value.AsSet();
        } else if (name == "Lines.Strings") {
            lines = value.AsList();
        } else if (name == "Data") {
            data = value.AsBinary();
        } else if (name == "Partner") {
            reader.ResolveReference(value.AsIdentifier(), [this](TComponent* c) { partner = c; });
        } else {
            return TComponent::ReadProperty(name, value, reader);
        }
        return true;
    }

    std::string caption;
    std::int64_t count = 0;
    double ratio = 0;
    bool enabled = false;
    std::vector<std::string> options, lines;
    std::vector<std::uint8_t> data;
    TComponent* partner = nullptr;
    bool loadingWhileRead = false;
    bool loadingInLoaded = true;
    std::vector<std::string>* loadedOrder = nullptr;
    std::vector<std::string>* destroyed = nullptr;

protected:
    void Loaded() override {
        TComponent::Loaded();
        loadingInLoaded = IsLoading();
        if (loadedOrder != nullptr) loadedOrder->push_back(Name());
    }
};

class TRoot : public TProbe {
public:
    TRoot() : TProbe(nullptr) {}
    std::string_view ClassName() const override { return "TRoot"; }
};

class DefinitionReaderTest : public ::testing::Test {
protected:
    DefinitionReaderTest() { classes.Register<TProbe>("TProbe"); }
    TProbe& Child(const char* name) { return dynamic_cast<TProbe&>(*root.FindComponent(name)); }

    ComponentClasses classes;
    TRoot root;
};

TEST_F(DefinitionReaderTest, ReadsEveryKindOfValue) {
    LoadDefinition(root,
                   "object Main: TRoot\n"
                   "  Caption = 'It''s '#67#227'o' +\n"
                   "    ' here'\n"
                   "  Count = -42\n"
                   "  Ratio = 2.5\n"
                   "  Enabled = True\n"
                   "  Options = [optA, optB]\n"
                   "  Lines.Strings = (\n"
                   "    'first'\n"
                   "    'second')\n"
                   "  Data = {\n"
                   "    00FF10}\n"
                   "end\n",
                   classes);
    EXPECT_EQ(root.Name(), "Main");
    EXPECT_EQ(root.caption, "It's C\u00e3o here");
    EXPECT_EQ(root.count, -42);
    EXPECT_DOUBLE_EQ(root.ratio, 2.5);
    EXPECT_TRUE(root.enabled);
    EXPECT_EQ(root.options, (std::vector<std::string>{"optA", "optB"}));
    EXPECT_EQ(root.lines, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(root.data, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
}

TEST_F(DefinitionReaderTest, CreatesChildrenAndResolvesReferencesAfterReading) {
    std::vector<std::string> loaded;
    root.loadedOrder = &loaded;
    classes.Register("TProbe", [&loaded](TComponent* owner) {
        auto* probe = new TProbe(owner);
        probe->loadedOrder = &loaded;
        return probe;
    });
    LoadDefinition(root,
                   "object Main: TRoot\n"
                   "  object first: TProbe\n"
                   "    Partner = second\n"
                   "    Caption = 'x'\n"
                   "  end\n"
                   "  object second: TProbe\n"
                   "    Partner = Main\n"
                   "  end\n"
                   "end\n",
                   classes);
    ASSERT_EQ(root.ComponentCount(), 2);
    EXPECT_EQ(Child("first").partner, &Child("second"));
    EXPECT_EQ(Child("second").partner, &root);
    EXPECT_TRUE(Child("first").loadingWhileRead);
    EXPECT_FALSE(Child("first").loadingInLoaded);
    EXPECT_EQ(loaded, (std::vector<std::string>{"Main", "first", "second"}));
    EXPECT_FALSE(root.IsLoading());
}

TEST_F(DefinitionReaderTest, FailuresNameWhatCouldNotBeRead) {
    auto messageOf = [this](const char* text) {
        try {
            TRoot fresh;
            LoadDefinition(fresh, text, classes);
        } catch (const EReadError& error) {
            return error.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageOf("object Main: TRoot\n  Colour = 1\nend\n"),
              "Error reading Main.Colour: Property Colour does not exist");
    EXPECT_EQ(messageOf("object Main: TRoot\n  Count = 'ten'\nend\n"),
              "Error reading Main.Count: Invalid property value");
    EXPECT_EQ(messageOf("object Main: TRoot\n  object x: TMissing\n  end\nend\n"), "Class TMissing not found");
    EXPECT_EQ(messageOf("object Main: TRoot\n  Partner = nobody\nend\n"),
              "Error reading Main.Partner: Component nobody not found");
    EXPECT_EQ(messageOf("object Main: TOther\nend\n"), "The definition is of class TOther, not TRoot");
    EXPECT_EQ(messageOf("object Main: TRoot\n  Caption = 'open\nend\n"), "Unterminated string on line 2");
    EXPECT_EQ(messageOf("object Main: TRoot\n  Caption = 'x'\n"), "'end' expected on line 3");
    EXPECT_EQ(messageOf("object Main: TRoot\n  Caption = #1114112\nend\n"), "Invalid character code on line 2");
}

TEST(ComponentTest, OwnerFreesItsComponentsNewestFirstAndForgetsFreedOnes) {
    std::vector<std::string> destroyed;
    {
        TRoot owner;
        for (const char* name : {"a", "b", "c"}) {
            auto* child = new TProbe(&owner);
            child->SetName(name);
            child->destroyed = &destroyed;
        }
        delete owner.FindComponent("b");
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.FindComponent("B"), nullptr);
        EXPECT_THROW(owner.Components(0)->SetName("C"), EComponentError);
    }
    EXPECT_EQ(destroyed, (std::vector<std::string>{"b", "c", "a"}));
}

TEST(ComponentTest, FreeNotificationTellsTheListener) {
    class TWatcher : public TProbe {
    public:
        using TProbe::TProbe;
        TComponent* watched = nullptr;

    protected:
        void Notification(TComponent* component, TOperation operation) override {
            TProbe::Notification(component, operation);
            if (operation == TOperation::opRemove && component == watched) watched = nullptr;
        }
    };
    TWatcher watcher(nullptr);
    auto watched = std::make_unique<TProbe>(nullptr);
    watcher.watched = watched.get();
    watcher.FreeNotification(watched.get());
    watched.reset();
    EXPECT_EQ(watcher.watched, nullptr);
}

}  // namespace
}  // namespace pavana
