// Widget scripts with bad values: each is logged or falls back, and the
// tree still updates, takes input and draws (recording device).
#include <gtest/gtest.h>

#include "engine/gui/gui_checkbox.h"
#include "engine/gui/gui_static_text.h"
#include "widget_bench.h"

using namespace GUI;

using guitest::WidgetBench;

TEST_F(WidgetBench, BadWidgetScriptsLogAndCarryOn)
{
    addFont("Syn");
    addImage("pic", 8, 8, imgtest::solid(8, 8, 0xFFFFFFFF));
    script("window Win\n{\n AreaRect 0 0 300 200\n Drag 1\n NormalStyle nostyle\n"
           " imagebutton Strip\n {\n  Image pic\n  ImageRect 0 0 -5 70000\n  GlyphCount -3\n Layout diagonal\n }\n"
           " imagebutton Huge\n {\n  AreaRect 10 10 0 0\n  Image pic\n  GlyphCount 2147483647\n"
           "  Layout horizontal\n  RotCenter nan nan\n  TransparentAlpha 300\n }\n"
           " staticimage Pic\n {\n  AreaRect 0 0 65535 65535\n  NormalImage nopic\n  NormalRect 99 99 99 99\n"
           "  Color zz\n }\n"
           " checkbox Chk\n {\n  AreaRect 0 0 -1 -1\n  Image pic\n  Checked 7\n }\n"
           " slider Sl\n {\n  AreaRect 0 0 0 0\n  StepValue inf\n }\n"
           " scrollbar Sb\n {\n  AreaRect 0 0 10 10\n  widget _auto_thumb\n  {\n   AreaRect 0 0 20 20\n  }\n }\n"
           " statictext Txt\n {\n  AreaRect 0 0 1 1\n  Font Syn\n  FontSize -2\n  LineSpacing -1e30\n"
           "  HorzFormatting sideways\n  VertFormatting 17\n  WordWrap yes\n"
           "  Text \"<#font=nofont#><#size=1e39#>a <#size=-3#>b<#color=#><#nokey#><#=#> c<#size=0x10\"\n }\n"
           " statictext NoFont\n {\n  Text \"shown nowhere\"\n }\n"
           "}\n");
    const std::string log = newLog();
    for (const char* line :
         {"Server::GetStyle - style 'nostyle' not found!", "ImageButton::EndFillProperties - invalid layout type 'diagonal'",
          "GUI::Server::GetImage - image \"nopic\" not found!", "Checkbox::Initialize - Check widget for checkbox 'Chk'",
          "Slider::Initialize - Thumb for slider 'Sl' not found", "Server::GetFont - font 'nofont' not found!"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_TRUE(find<Checkbox>("Chk")->checked);
    // Frames of input over everything, dragging the window and a thumb
    // longer than its bar; then a draw of the whole tree.
    for (int y = 0; y < 200; y += 37) {
        moveTo(y, y / 2);
        step();
        buttons(1);
        step();
        moveTo(y + 50, y);
        step(2);
        buttons(0);
        step();
    }
    find<Scrollbar>("Sb")->SetTotalSize(1e38f);
    find<Scrollbar>("Sb")->SetPageSize(1e-38f);
    find<StaticText>("Txt")->scrollY = -1e30f;
    render();
    EXPECT_NE(newLog().find("StaticText 'NoFont' has no font of its own"), std::string::npos);
}
