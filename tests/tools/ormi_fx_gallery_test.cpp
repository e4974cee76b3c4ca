// The demo gallery: every effect shown, every caption a command that makes its picture again
// byte for byte in the gallery's folder, and every picture decoded by a real browser.
#include <cstdlib>
#include <set>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

class GalleryTest : public FxFileTest {};

TEST_F(GalleryTest, CaptionsRunAsWrittenAndABrowserShowsEveryPicture) {
  WriteFile(Path("mine.png"), MakeTestPicture(24, 16, true), true);
  const ShellRun demo = RunFx("demo " + Path("g") + " --input " + Path("mine.png"));
  ASSERT_EQ(demo.status, 0) << demo.output;
  const std::string page = ReadText(Path("g/index.html"));
  std::set<std::string> captions;
  const std::regex code("<code>ormi-fx ([^<]*)</code>");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), code); it != std::sregex_iterator(); ++it)
    captions.insert((*it)[1]);
  for (const host::EffectInfo& effect : host::EffectCatalog()) {  // on the sample and on the user's picture
    const auto shown = [&](const std::string& c) {
      return c == effect.name || c.starts_with(effect.name + std::string(" "));
    };
    EXPECT_EQ(std::count_if(captions.begin(), captions.end(), shown),
              effect.result == host::ResultKind::NoImage ? 1 : 2);
  }
  for (const std::string& caption : captions) {
    const std::string output = caption.substr(caption.rfind(' ') + 1);
    if (!output.ends_with(".png")) continue;
    // A picture of the user's that an effect refuses has no file: the command says why.
    const std::string before = ReadText(Path("g/" + output));
    fs::remove(Path("g/" + output));
    const ShellRun run = RunFx(caption, "cd " + Path("g") + " &&");
    EXPECT_EQ(run.status, before.empty() ? 1 : 0) << caption << "\n" << run.output;
    EXPECT_EQ(ReadText(Path("g/" + output)), before) << caption;
  }
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "chromium is not installed (scripts/setup installs it): the page was not loaded in a browser";
  }
  // The page with a script that records, once everything has loaded, the images that did not decode.
  std::string checked = page;
  checked.insert(checked.rfind("</body>"),
                 "<script>addEventListener('load',()=>{const bad=[...document.images].filter(i=>!i.naturalWidth)"
                 ".map(i=>i.getAttribute('src'));document.body.dataset.result=document.images.length+' images, "
                 "broken:'+bad.join(' ')+'.'})</script>");
  std::ofstream(Path("g/check.html")) << checked;
  const std::string chromium = "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars ";
  const ShellRun dom =
      Shell(chromium + "--virtual-time-budget=20000 --dump-dom file://" + Path("g/check.html") + " 2>/dev/null");
  const std::regex img("<img ");
  const auto images = std::distance(std::sregex_iterator(page.begin(), page.end(), img), {});
  EXPECT_GT(images, 60);
  EXPECT_TRUE(Contains(dom.output, "data-result=\"" + std::to_string(images) + " images, broken:.\""))
      << dom.output.substr(0, 400);
  // A screenshot, as the README shows (ORMI_GALLERY_SCREENSHOT names where to keep it).
  const char* keep = std::getenv("ORMI_GALLERY_SCREENSHOT");
  const std::string shot = keep ? std::string(keep) : Path("shot.png");
  Shell(chromium + "--force-device-scale-factor=0.6 --window-size=1200,800 --screenshot=" + shot + " file://" +
        Path("g/index.html") + " 2>/dev/null");
  host::Picture screenshot = host::ReadPicture(shot);
  EXPECT_EQ(host::FactsOfBitmap(screenshot.bitmap).width, 720) << screenshot.error;
  if (screenshot.bitmap) GlobalFree(screenshot.bitmap);
}

}  // namespace
}  // namespace ormi::test
