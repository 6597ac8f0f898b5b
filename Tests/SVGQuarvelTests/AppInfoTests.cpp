// Application and process information, and the About panel's and menu items' texts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "Fennix/Foundation/System/Bundle.h"
#include "Platform/EdgeInsets.h"
#include "SVGQuarvel/App/About.h"

namespace {

TEST(AppInfo, ApplicationInfoFallsBackForMissingOrNonTextKeys) {
  const auto bare = NSBundle::ApplicationInfo::fromBundle(NSBundle(nlohmann::json{{"CFBundleShortVersionString", 3}}));
  EXPECT_EQ(bare.version, "0.42.0");
  EXPECT_EQ(bare.build, "1337");
  EXPECT_EQ(bare.appName, ProcessInfo::processName());
  EXPECT_FALSE(bare.appName.empty());
  EXPECT_EQ(bare.infoName, bare.appName);
  EXPECT_FALSE(bare.copyright);
  EXPECT_FALSE(bare.credits);

  const auto named = NSBundle::ApplicationInfo::fromBundle(NSBundle(nlohmann::json{
      {"CFBundleName", "Tool"}, {"InfoPanelName", "The Tool"}, {"CFBundleVersion", "7"},
      {"NSHumanReadableCopyright", "(c) us"}, {"InfoPanelCredits", "thanks"}}));
  EXPECT_EQ(named.appName, "Tool");
  EXPECT_EQ(named.infoName, "The Tool");
  EXPECT_EQ(named.build, "7");
  EXPECT_EQ(named.copyright, "(c) us");

  const auto main = NSBundle::applicationInfo();
  EXPECT_EQ(main.appName, "SVGQuarvel");
  EXPECT_EQ(NSBundle::ApplicationInfo::icon(), NSImage::named("org.quarvel.SVGQuarvel"));
}

TEST(AppInfo, IntegerKeysReadNumbersAndWholeDecimalTexts) {
  const NSBundle bundle(nlohmann::json{{"n", 42}, {"t", "42"}, {"neg", "-7"}, {"bad", "4x2"}, {"empty", ""},
                                       {"sign", "+"}, {"huge", "99999999999999999999"}, {"real", 4.5},
                                       {"big", 18446744073709551615ull}});
  EXPECT_EQ(bundle.infoInteger("n"), 42);
  EXPECT_EQ(bundle.infoInteger("t"), 42);
  EXPECT_EQ(bundle.infoInteger("neg"), -7);
  for (const char* key : {"bad", "empty", "sign", "huge", "real", "big", "absent"}) {
    EXPECT_FALSE(bundle.infoInteger(key)) << key;
  }
  EXPECT_EQ(bundle.infoString("t"), "42");
  EXPECT_FALSE(bundle.infoString("n"));
}

TEST(AppInfo, SandboxAndArchitecture) {
  ::setenv("APP_SANDBOX_CONTAINER_ID", "", 1);
  EXPECT_FALSE(ProcessInfo::isSandboxed());
  ::setenv("APP_SANDBOX_CONTAINER_ID", "box", 1);
  EXPECT_EQ(ProcessInfo::sandboxContainerID(), "box");
  EXPECT_TRUE(ProcessInfo::isSandboxed());
  ::unsetenv("APP_SANDBOX_CONTAINER_ID");
  EXPECT_FALSE(ProcessInfo::isSandboxed());
  EXPECT_TRUE(ProcessInfo::isARMMachineName("aarch64"));
  EXPECT_TRUE(ProcessInfo::isARMMachineName("armv7l"));
  EXPECT_FALSE(ProcessInfo::isARMMachineName("x86_64"));
}

TEST(AppInfo, AboutTextsAndTheBugReportPage) {
  NSBundle::ApplicationInfo info{"Panel", "App", "1.2", "34", std::nullopt, std::nullopt};
  const AboutView view(info);
  EXPECT_EQ(view.title(), "Panel");
  EXPECT_EQ(view.versionLine(), "Version: 1.2 (34)");
  EXPECT_FALSE(view.copyrightLink());
  EXPECT_FALSE(view.credits());
  info.copyright = "(c) us";
  EXPECT_EQ(AboutView(info).copyrightLink()->title, "(c) us");
  EXPECT_EQ(AboutView::creditGroups().at(0).heading, "Uses and embeds:");
  EXPECT_EQ(AboutView::creditGroups().at(1).links.size(), 2u);
  EXPECT_EQ(AboutCommands::aboutItemTitle(info), "About App \u2026");
  EXPECT_EQ(AboutCommands::reportBugItemTitle, "Report Bug \u2026");

  const std::string fallback(AboutCommands::defaultBugReportURL);
  EXPECT_EQ(AboutCommands::bugReportURL(NSBundle(nlohmann::json::object())), fallback);
  EXPECT_EQ(AboutCommands::bugReportURL(NSBundle(nlohmann::json{{"BugReporterURL", "not a url"}})), fallback);
  EXPECT_EQ(AboutCommands::bugReportURL(NSBundle(nlohmann::json{{"BugReporterURL", 5}})), fallback);
  EXPECT_EQ(AboutCommands::bugReportURL(NSBundle(nlohmann::json{{"BugReporterURL", "https://bugs.example/x"}})),
            "https://bugs.example/x");
}

TEST(AppInfo, PortableRectangleHelpers) {
  // Portable frames grow upwards: the bottom inset moves the origin.
  const auto insets = PortKit::UXEdgeInsetsMake(1, 2, 3, 4);
  EXPECT_EQ(PortKit::inset(CGRect(0, 0, 100, 50), insets), CGRect(2, 3, 94, 46));
  EXPECT_EQ(PortKit::inset(CGRect(10, -20, 100, 50), insets), CGRect(12, -17, 94, 46));
  // The toolkit's y axis grows downwards: the top inset moves the origin.
  EXPECT_EQ(PortKit::insetFlipped(CGRect(0, 0, 100, 50), insets), CGRect(2, 1, 94, 46));
  // Insets wider than the rectangle leave a negative size, as the platform's do.
  EXPECT_EQ(PortKit::inset(CGRect(0, 0, 4, 4), PortKit::UXEdgeInsetsMake(3, 3, 3, 3)), CGRect(3, 3, -2, -2));
  EXPECT_EQ(PortKit::center(CGRect(10, 20, 30, 40)), (CGPoint{25, 40}));
  EXPECT_EQ(PortKit::center(CGRect(10, 20, -30, 40)), (CGPoint{-5, 40}));
}

}  // namespace
