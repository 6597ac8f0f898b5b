#include <gtest/gtest.h>

#include <regex>

#include "Fennix/Foundation/System/Bundle.h"

TEST(BundleTests, MainBundleDescribesTheBuild) {
  const auto& bundle = NSBundle::main();
  EXPECT_EQ(bundle.infoString("CFBundleName"), "SVGQuarvel");
  auto version = bundle.infoString("CFBundleShortVersionString");
  ASSERT_TRUE(version);
  EXPECT_TRUE(std::regex_match(*version, std::regex(R"(\d+\.\d+\.\d+)"))) << *version;
  EXPECT_TRUE(bundle.infoString("CFBundleVersion"));
  EXPECT_EQ(bundle.bundleIdentifier(), NSBundle::reverseDNSPrefix() + ".SVGQuarvel");
  EXPECT_EQ(NSBundle::mainTeamIdentifierPrefix(), bundle.teamIdentifierPrefix());
}

TEST(BundleTests, TeamIdentifierPrefixIsTextOrEmpty) {
  EXPECT_EQ(NSBundle(nlohmann::json{{"TeamIdentifierPrefix", "ABC."}}).teamIdentifierPrefix(), "ABC.");
  EXPECT_EQ(NSBundle(nlohmann::json{{"TeamIdentifierPrefix", 42}}).teamIdentifierPrefix(), "");
  EXPECT_EQ(NSBundle(nlohmann::json::object()).teamIdentifierPrefix(), "");
  EXPECT_EQ(NSBundle(nlohmann::json::array()).object("TeamIdentifierPrefix"), nullptr);
}
