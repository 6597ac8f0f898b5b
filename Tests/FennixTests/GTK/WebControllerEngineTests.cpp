// A web view controller on the toolkit's web engine where the engine cannot start a web process:
// in a process of its own (the helper), whose user folders are broken from the start or once a page
// has loaded. The controller says why and the process lives on.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Run {
  int status = -1;
  std::string output;
};

/// Runs the helper with `arguments`, its environment changed by `variables`.
Run runHelper(const std::vector<std::string>& arguments, const std::vector<std::pair<std::string, std::string>>& variables) {
  std::vector<char*> argv{const_cast<char*>(FENNIX_WEB_CONTROLLER_HELPER)};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  gchar** environment = g_get_environ();
  // The module logger's lines show.
  environment = g_environ_setenv(environment, "LOGLEVEL", "log", TRUE);
  for (const auto& [name, value] : variables) environment = g_environ_setenv(environment, name.c_str(), value.c_str(), TRUE);
  Run run;
  gchar* out = nullptr;
  gchar* err = nullptr;
  GError* error = nullptr;
  if (!g_spawn_sync(nullptr, argv.data(), environment, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err, &run.status,
                    &error)) {
    ADD_FAILURE() << error->message;
    g_error_free(error);
  }
  run.output = std::string(out != nullptr ? out : "") + (err != nullptr ? err : "");
  g_free(out);
  g_free(err);
  g_strfreev(environment);
  return run;
}

std::filesystem::path scratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "web-engine-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

TEST(WebControllerEngine, AControllerWhoseEngineCannotStartSaysWhyAndTheProcessLivesOn) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  const auto folder = scratch();
  std::ofstream(folder / "plain") << "a file\n";
  const std::string unreachable = "\u201c" + (folder / "plain").string() + "\u201d is a file, not a folder.";

  // Broken from the start: the controller's view says why in the web view's place, and loads
  // nothing.
  const auto launch = runHelper({"launch"}, {{"XDG_CACHE_HOME", (folder / "plain" / "cache").string()},
                                            {"XDG_RUNTIME_DIR", (folder / "plain" / "runtime").string()}});
  EXPECT_TRUE(WIFEXITED(launch.status) && WEXITSTATUS(launch.status) == 0) << launch.status << "\n" << launch.output;
  EXPECT_NE(launch.output.find("cannot show web pages: The web engine cannot start: it needs"), std::string::npos)
      << launch.output;
  EXPECT_NE(launch.output.find("view: The web engine cannot start:"), std::string::npos) << launch.output;
  EXPECT_NE(launch.output.find(unreachable), std::string::npos) << launch.output;
  EXPECT_NE(launch.output.find("attempt to load HTML into a WebView not yet setup"), std::string::npos)
      << launch.output;

  // The run-time folder becomes a file once a page shows: a page of another site, and a load after
  // the web process ended, each want a web process of their own. They are refused with the reason
  // and the page stays.
  // The helper in `mode`, with a run-time folder of its own, `name`, which it turns into a file.
  const auto runWithRunTimeFolder = [&](const std::string& mode, const std::string& name) {
    std::filesystem::create_directory(folder / name);
    std::filesystem::permissions(folder / name, std::filesystem::perms::owner_all);
    return runHelper({mode, (folder / name).string()},
                     {{"XDG_CACHE_HOME", (folder / "cache").string()}, {"XDG_RUNTIME_DIR", (folder / name).string()}});
  };
  const auto later = runWithRunTimeFolder("later", "runtime");
  EXPECT_TRUE(WIFEXITED(later.status) && WEXITSTATUS(later.status) == 0) << later.status << "\n" << later.output;
  const std::string refused = "The web engine cannot start: it needs \u201c" + (folder / "runtime" / "pulse").string() +
                              "\u201d (from XDG_RUNTIME_DIR), but \u201c" + (folder / "runtime").string() +
                              "\u201d is a file, not a folder.";
  EXPECT_NE(later.output.find("cannot load into WebView: http://localhost:"), std::string::npos) << later.output;
  EXPECT_NE(later.output.find("/other " + refused), std::string::npos) << later.output;
  EXPECT_NE(later.output.find("/again " + refused), std::string::npos) << later.output;
  EXPECT_NE(later.output.find("page: http://127.0.0.1:"), std::string::npos) << later.output;

  // The run-time folder becomes a file after the view was made and before its first load, which
  // starts its web process: each load is refused with the reason.
  const auto first = runWithRunTimeFolder("first", "runtime first");
  EXPECT_TRUE(WIFEXITED(first.status) && WEXITSTATUS(first.status) == 0) << first.status << "\n" << first.output;
  const std::string firstRefused = "The web engine cannot start: it needs \u201c" +
                                   (folder / "runtime first" / "pulse").string() + "\u201d (from XDG_RUNTIME_DIR)";
  EXPECT_NE(first.output.find("cannot load into WebView: HTML " + firstRefused), std::string::npos) << first.output;
  EXPECT_NE(first.output.find("cannot load into WebView: http://127.0.0.1:9/ " + firstRefused), std::string::npos)
      << first.output;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
