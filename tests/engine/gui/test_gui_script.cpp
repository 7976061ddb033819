// GUI scripts: the line reader, the meaning of sections in the GUI server,
// and the widget factory.
#include <gtest/gtest.h>

#include <functional>

#include "engine/gui/a_script_loader.h"
#include "engine/gui/gui_widget_factory.h"
#include "engine/util/text_test_log.h"
#include "gui_test_bench.h"
#include "support/bitmap1_writer.h"

using namespace GUI;
using Lines = std::vector<std::string>;

namespace {

std::string write(const std::string& name, const std::string& text)
{
    const std::string path = test_env::home() + "/" + name;
    test_env::writeFile(path, text);
    return path;
}

// Records what the reader hands over. Headers starting with "skip" are
// ignored; other sections get the values 1, 2, 3 ...
struct Recorder : aScriptLoader {
    Lines events;
    int next = 1;

    static std::string join(const std::vector<std::string>& tokens)
    {
        std::string out;
        for (const std::string& t : tokens)
            out += (out.empty() ? "" : "|") + t;
        return out;
    }
    int onSection(int parent, const std::vector<std::string>& tokens) override
    {
        events.push_back("section " + std::to_string(parent) + " " + join(tokens));
        return tokens[0].rfind("skip", 0) == 0 ? 0 : next++;
    }
    void onSectionEnd(int value) override { events.push_back("end " + std::to_string(value)); }
    void onEntry(int value, const std::vector<std::string>& tokens) override
    {
        events.push_back(std::to_string(value) + ": " + join(tokens));
    }
    Lines run(const std::string& path)
    {
        events.clear();
        load(path);
        return events;
    }
};

// Counts the widgets alive, to see a server free what scripts made.
struct Probe : Widget {
    explicit Probe(const std::string& name) : Widget(name) { ++alive; }
    ~Probe() override { --alive; }
    const char* GetTypeName() const override { return "ProbeWidget"; }
    static inline int alive = 0;
};

} // namespace

TEST(ScriptReader, MacrosCommentsDefinesAndTokens)
{
    TestLog log;
    Recorder r;
    const std::string path = write("m.agui", "#define A \"x y\"\n#define L \"$L$\"\n#define Q no quotes\n#define\n"
                                             "   ; an indented comment\nsect\n{\nk $A$ $UNDEF$ $A$B$A$ a$b $\n"
                                             "u $U$A$\nself $L$\nq [$Q$]\n\tkey ; not a comment\n"
                                             "Text \"Hello  world\" \"\" end \"unclosed\nword {\n}\n");
    EXPECT_EQ(r.run(path), (Lines{"section 0 sect", "1: k|x|y|$UNDEF$|x|yBx|y|a$b|$", "1: u|$Ux|y", "1: self|$L$",
                                  "1: q|[]", "1: key|;|not|a|comment", "1: Text|Hello  world||end", "1: word|{",
                                  "end 1"}));
    const std::string error = "Error in script \"" + path + "\", line ";
    EXPECT_EQ(log.lines(), (Lines{error + "3: #define Q without its text in double quotes",
                                  error + "4: #define without a name followed by a blank"}));

    // 40 defines each doubling the last: D18 and, once D19 holds
    // "$D18$$D18$" and doubles on, D36 pass the cap of a line and are
    // dropped; lines of 1 MiB each then stop at the budget of the load.
    std::string bomb = "#define D0 \"xxxxxxxx\"\n";
    for (int i = 1; i <= 40; ++i)
        bomb += "#define D" + std::to_string(i) + " \"$D" + std::to_string(i - 1) + "$$D" + std::to_string(i - 1) +
                "$\"\n";
    bomb += "after\n{\nv $D40$ $A$\n";
    for (int i = 0; i < 20; ++i)
        bomb += "big $D17$\n";
    Lines events;
    EXPECT_LT(test_env::cpuSeconds([&] { events = r.run(write("bomb.agui", bomb + "}\n")); }),
              1.0 * test_env::kSanitizerSlowdown);
    std::string d40 = "2: v|";
    for (int i = 0; i < 16; ++i)
        d40 += "$D36$";
    ASSERT_GE(events.size(), 3u);
    EXPECT_TRUE(events[1] == d40 + "|$A$" && events.back() == "end 2");  // defines live for one load
    EXPECT_EQ(log.count("macros grow the line past 1048576 bytes; line dropped"), 2u);
    const std::size_t bigLines = events.size() - 3;
    EXPECT_TRUE(bigLines > 10 && bigLines < 16) << bigLines;
    EXPECT_EQ(log.count("macros of this load grow past 16777216 bytes in all"), 20 - bigLines);
}

TEST(ScriptReader, SectionsPendingLinesAndBraceErrors)
{
    TestLog log;
    Recorder r;
    const std::string path = write("s.agui", "dropped at the outermost level\nouter a\n  {  \nfirst\nskip me\n{\n"
                                             "lost entry\nnested\n{\nlost too\n}\n}\nsecond\n}\n}\n{\n"
                                             "inside the braceless section\n}\nopen\n{\npending at the end\n");
    EXPECT_EQ(r.run(path), (Lines{"section 0 outer|a", "1: first", "section 1 skip|me", "1: second", "end 1",
                                  "section 0 open", "end 2"}));
    EXPECT_EQ(log.count("line 15: '}' without an open section"), 1u);
    EXPECT_EQ(log.count("line 16: '{' without a section header"), 1u);
    EXPECT_EQ(log.count("line 21: 1 section(s) not closed"), 1u);
    // The next load starts clean.
    EXPECT_EQ(r.run(write("t.agui", "a\n{\nb\n}\n")), (Lines{"section 0 a", "3: b", "end 3"}));
}

TEST(ScriptReader, IncludesShareStateAndAreBounded)
{
    TestLog log;
    Recorder r;
    const std::string home = test_env::home() + "/", inc = home + "inc.agui";
    const auto include = [&](const std::string& name) { return "#include \"" + home + name + "\"\n"; };
    write("inc.agui", "#define FROM_INC \"i\"\ninc entry\n" + include("inc.agui") + include("cyc.agui") +
                          "}\n#include no quotes\n");
    write("cyc.agui", include("INC.agui") + "cyc entry\n");
    const std::string main = write("main.agui", "#define M \"m\"\nsect\n{\npending before the include $M$\n" +
                                                    include("inc.agui") + "back $FROM_INC$\n{\n" +
                                                    include("missing.agui") + include("main.agui") + "}\n}\n");
    // The include's "}" closes the section that the including file opened.
    EXPECT_EQ(r.run(main), (Lines{"section 0 sect", "1: pending|before|the|include|m", "1: inc|entry",
                                  "1: cyc|entry", "end 1", "section 0 back|i", "end 2"}));
    const auto error = [&](const std::string& file, int line, const std::string& what) {
        return log.count("Error in script \"" + file + "\", line " + std::to_string(line) + ": " + what);
    };
    EXPECT_EQ(error(inc, 3, "\"" + inc + "\" is being parsed already"), 1u);
    EXPECT_EQ(error(home + "cyc.agui", 1, "\"" + home + "INC.agui\" is being parsed"), 1u);
    EXPECT_EQ(error(inc, 6, "#include without a file name"), 1u);
    EXPECT_EQ(error(main, 8, "cannot find included file"), 1u);
    EXPECT_EQ(error(main, 9, "\"" + main + "\" is being parsed already"), 1u);
    EXPECT_EQ(error(main, 11, "'}' without an open section"), 1u);

    // A chain of 33 files: the 33rd is refused at its include line.
    for (int i = 1; i <= 33; ++i)
        write("chain" + std::to_string(i) + ".agui",
              include("chain" + std::to_string(i + 1) + ".agui") + "sect" + std::to_string(i) + "\n{\n}\n");
    const Lines chain = r.run(home + "chain1.agui");
    EXPECT_TRUE(chain.size() == 64u && chain.front() == "section 0 sect32");
    EXPECT_EQ(error(home + "chain32.agui", 1, "#include of \"" + home + "chain33.agui\" nested deeper than 32"), 1u);

    // 30 levels, each including the next twice: 2^30 parses without the
    // budget of included files.
    for (int i = 0; i < 30; ++i)
        write("twice" + std::to_string(i) + ".agui",
              include("twice" + std::to_string(i + 1) + ".agui") + include("twice" + std::to_string(i + 1) + ".agui"));
    write("twice30.agui", "leaf\n{\n}\n");
    Lines bombed;
    EXPECT_LT(test_env::cpuSeconds(
                  [&] { bombed = r.run(write("bombed.agui", include("twice0.agui") + "last\n{\n}\n")); }),
              1.0 * test_env::kSanitizerSlowdown);
    EXPECT_EQ(log.count("more than 4096 files included in one load"), 1u);
    ASSERT_GE(bombed.size(), 2u);
    EXPECT_EQ(bombed[bombed.size() - 2], "section 0 last");
}

// ---------------------------------------------------------------------------
// The server's sections

namespace {

class ScriptTest : public guitest::RecordingBench {
protected:
    void load(const std::string& name, const std::string& text) { gui->load(write(name, text)); }
    std::size_t logged(const std::string& text)
    {
        const std::string log = logText();
        std::size_t n = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }
};

} // namespace

TEST_F(ScriptTest, TablesDuplicatesAndHeaderErrors)
{
    guitest::writeSyntheticFont(test_env::home());
    write("r.bmp", bitmap1_writer::build(2, 1, {1, 0}));
    addImage("frame", 9, 9, imgtest::solid(9, 9, 0xFFFFFFFF));
    const std::string tables = "fontlist\n{\nSmall " + test_env::home() + "/synthetic.ini\nlonely\n}\n"
                               "regionlist\n{\nRound " + test_env::home() + "/r.bmp\n}\n"
                               "style Panel\n{\nImage frame\nAutoSlice all\nEdgeGlobal tile\nFillType stretch\n"
                               "nested\n{\nImage none\n}\n}\n"
                               "cursor Arrow\n{\nImage frame\nFrameSize 3 3\nNumFrames 2\n}\n"
                               "template T\n{\nAlpha 0.5\nTag 3\n}\n";
    load("a.agui", tables);
    ASSERT_TRUE(gui->GetFont("small") && gui->GetRegion("ROUND") && gui->GetStyle("panel") &&
                gui->GetMouseCursor("arrow"));
    const Style* panel = gui->GetStyle("Panel");
    EXPECT_TRUE(panel->topLeft == aRect(0, 0, 3, 3) && panel->edgeTop == Style::FILL_TILE);
    EXPECT_TRUE(gui->GetRegion("Round")->IsInside(0, 0) && !gui->GetRegion("Round")->IsInside(1, 0));
    EXPECT_EQ(gui->GetMouseCursor("Arrow")->anim.getFrameCount(), 2u);
    EXPECT_EQ(gui->templates["t"], (Template{{"Alpha", "0.5"}, {"Tag", "3"}}));
    EXPECT_EQ(logged("line 5: font list entry 'lonely' names no file"), 1u);
    EXPECT_TRUE(logged("parsing started") == 1 && logged("parsing finished") == 1);

    // A second load redefines nothing.
    const aFont* font = gui->GetFont("Small");
    load("b.agui", "fontlist\n{\nSMALL other.ini\n}\nregionlist\n{\nround x.bmp\n}\nstyle PANEL\n{\n}\n"
                   "cursor arrow\n{\n}\ntemplate t\n{\nTag 9\n}\n"
                   "style\n{\n}\ncursor\n{\n}\ntemplate\n{\n}\n");
    EXPECT_TRUE(gui->GetFont("Small") == font && gui->GetStyle("Panel") == panel && gui->templates["T"].size() == 2);
    for (const char* text :
         {"Server - font with name 'SMALL' already exists", "Server - region with name 'round' already exists",
          "Server - style 'PANEL' already exists", "Server - mouse cursor 'arrow' already exists",
          "Server - template 't' already exists", "Server - style name not specified in section header",
          "Server - mouse cursor name not specified in section header",
          "Server. Template name not specified section header"})
        EXPECT_EQ(logged(text), 1u) << text;
}

TEST_F(ScriptTest, WidgetsNamesTemplatesAndOwnership)
{
    WidgetFactory::Instance().RegisterWidget<Probe>("probe");
    load("t.agui", "template A\n{\nAlpha 0.5\nTag 3\nText from A\n}\ntemplate B\n{\nTag 4\n}\n"
                   "widget Top <A> <B> bad <missing>\n{\nTag 7\nprobe\n{\nprobe x\n{\nwidget deep\n{\n}\n}\n}\n"
                   "button bb\n{\nprobe lost\n{\n}\n}\nprobe pp <A>\n{\n}\n}\n");
    Widget* top = gui->GetRoot()->FindChild("top");
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(top->tag == 7 && top->alpha == 0.5f && top->GetText() == L"from A");  // own lines after templates
    EXPECT_EQ(logged("Server - invalid template parameter 3"), 1u);
    EXPECT_EQ(logged("Server - invalid template parameter 1"), 1u);  // "probe x"
    EXPECT_EQ(logged("Server::ApplyTemplate - template 'missing' not found"), 1u);
    // auto0000 holds auto0001 holds "deep"; the unknown type takes its subtree along.
    Widget* a0 = top->FindChild("auto0000");
    ASSERT_TRUE(a0 && a0->FindChild("auto0001") && a0->FindChild("auto0001")->FindChild("deep"));
    EXPECT_EQ(logged("WidgetFactory::NewWidget - cannot create widget 'bb' of unregistered class 'button'"), 1u);
    EXPECT_EQ(gui->GetRoot()->FindChild("lost", true), nullptr);
    EXPECT_EQ(top->FindChild("pp")->tag, 3);
    EXPECT_EQ(logged("Created new ProbeWidget 'auto0000'"), 1u);
    EXPECT_EQ(Probe::alive, 3);

    // Automatic names count on across loads; a one-character second token
    // is a bad template parameter.
    load("u.agui", "widget\n{\n}\nprobe q\n{\n}\n");
    EXPECT_TRUE(gui->GetRoot()->FindChild("auto0002") && gui->GetRoot()->FindChild("auto0003"));
    EXPECT_EQ(logged("Server - invalid template parameter 1"), 2u);
    EXPECT_EQ(Probe::alive, 4);
    gui.reset();
    EXPECT_EQ(Probe::alive, 0);
}

TEST(WidgetFactory, WordsCreatorsAndLogLines)
{
    TestLog log;
    WidgetFactory& factory = WidgetFactory::Instance();
    EXPECT_EQ(&factory, &WidgetFactory::Instance());
    factory.RegisterWidget<Probe>("probe");
    EXPECT_FALSE(factory.RegisterWidget<Widget>("PROBE"));
    EXPECT_FALSE(factory.RegisterWidget<Probe>("widget"));
    auto made = factory.NewWidget("WiDgEt", "w");
    ASSERT_TRUE(made && !made->GetParent());
    EXPECT_STREQ(made->GetTypeName(), "Widget");
    EXPECT_STREQ(factory.NewWidget("Probe", "p")->GetTypeName(), "ProbeWidget");
    EXPECT_EQ(factory.NewWidget("nothing", "n"), nullptr);
    EXPECT_EQ(log.lines(),
              (Lines{"Created new Widget 'w'", "Created new ProbeWidget 'p'",
                     "WidgetFactory::NewWidget - cannot create widget 'n' of unregistered class 'nothing'"}));
}
