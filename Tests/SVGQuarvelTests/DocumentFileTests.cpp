#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARVEL_ADDRESS_CHECKED 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define QUARVEL_ADDRESS_CHECKED 1
#endif
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <functional>
#include <vector>

#include "Fennix/Foundation/System/FileSafety.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "FennixTests/FileAttributesTestSupport.h"
#include "FennixTests/MemoryTestSupport.h"
#include "FennixTests/OtherUserTestSupport.h"

using Config = SVGQuarvelConfiguration;
using Document = SVGQuarvelDocument;
using Snapshot = Document::Snapshot;
using namespace QuarvelTestSupport;

namespace {

const std::string svgText = "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle r=\"3\"/></svg>";

std::shared_ptr<Document> open(const UTType& type, const FileWrapper& file) {
  return Document::fromConfiguration({type, file});
}

std::shared_ptr<Document> open(const UTType& type, const std::string& contents, const char* name = nullptr) {
  FileWrapper file = FileWrapper::regularFile(contents);
  if (name != nullptr) file.filename = name;
  return open(type, file);
}

template <typename Action>
int errorCode(Action action) {
  try {
    action();
  } catch (const CocoaError& error) {
    return error.code();
  }
  return 0;
}

/// What a save says when the user 4312, a member of the group 4310, makes it: "saved", or the
/// error's message.
std::string saidSavingAsAGroupMember(const std::function<void()>& save) {
  std::string said = "became no other user";
  OtherUserTestSupport::runAsUser(4312, 4310, [&] {
    try {
      save();
      said = "saved";
    } catch (const CocoaError& error) {
      said = error.what();
    }
  });
  return said;
}

}  // namespace

TEST(DocumentFileTests, ReadingADocumentBuildsOnlyWhatItHolds) {
  const std::string texts = R"("svg":"<svg\/>","swift":"\/\/ w\n")";
  const std::string settings = Config().jsonString();
  // Wide and deep values under keys a document does not read, and settings with keys of their
  // own, open as if they were not there; a key given twice counts with its last value.
  std::string wide = "[";
  for (int i = 0; i < 1000; ++i) wide += i == 0 ? "[]" : ",[]";
  wide += "]";
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const auto read = Snapshot::fromJSONString("{\"x\":" + wide + ",\"svg\":\"old\",\"y\":{\"z\":" + deep + "}," + texts +
                                             ",\"config\":" + settings.substr(0, settings.size() - 1) +
                                             ",\"extra\":" + wide + ",\"indent\":7}}");
  Config seven;
  seven.indent = 7;
  EXPECT_EQ(read, (Snapshot{"<svg/>", "// w\n", seven}));
  // Settings are told by the kind of what they hold, however much that is.
  try {
    Snapshot::fromJSONString("{" + texts + ",\"config\":{\"rootViewName\":" + wide + "}}");
    ADD_FAILURE() << "settings with an array for a name opened";
  } catch (const Document::DecodingError& error) {
    EXPECT_EQ(std::string(error.what()),
              "typeMismatch: expected String for key \"rootViewName\" but found an array instead.");
  }
  try {
    Snapshot::fromJSONString("{\"svg\":" + wide + ",\"swift\":\"w\"}");
    ADD_FAILURE() << "an array for the SVG text opened";
  } catch (const Document::DecodingError& error) {
    EXPECT_EQ(std::string(error.what()), "typeMismatch: expected String for key \"svg\".");
  }
  try {
    Snapshot::fromJSONString(wide);
    ADD_FAILURE() << "an array opened as a document";
  } catch (const Document::DecodingError& error) {
    EXPECT_EQ(std::string(error.what()), "typeMismatch: expected a dictionary.");
  }

  // What the reading takes stays within the text's size, whatever its shape: 8 MB of
  // nesting left open, or of empty arrays, are refused once they hold more arrays than a document
  // could use; 8 MB of keys in the settings are read past (a whole tree of any of them would take
  // twenty times as much or more).
  const std::size_t size = std::size_t{8} << 20;
  std::string manyArrays = "{" + texts + ",\"x\":[[]";
  while (manyArrays.size() < size) manyArrays += ",[]";
  manyArrays += "]}";
  std::string manySettings = "{" + texts + ",\"config\":" + settings.substr(0, settings.size() - 1);
  for (int i = 0; manySettings.size() < size; ++i) manySettings += ",\"" + std::to_string(i) + "\":[0]";
  manySettings += "}}";
  const std::vector<std::pair<std::string, std::string>> cases{
      {"nesting", std::string(size, '[')}, {"arrays", manyArrays}, {"settings", manySettings}};
#if QUARVEL_ADDRESS_CHECKED
  constexpr double allowedPerByte = 2;  // the checker keeps what is freed for a while, and more
#else
  constexpr double allowedPerByte = 1;  // the arrays held until the refusal take about 7 of the 8 MB
#endif
  for (const auto& [name, text] : cases) {
    const long long growth = MemoryTestSupport::peakMemoryGrowth([&text = text] { Snapshot::fromJSONString(text); });
    EXPECT_GE(growth, 0) << name;
    EXPECT_LT(double(growth), double(text.size()) * allowedPerByte)
        << name << ": " << growth << " bytes for " << text.size() << " bytes of text";
  }
  for (const std::string* refused : std::initializer_list<const std::string*>{&cases[0].second, &manyArrays}) {
    try {
      Snapshot::fromJSONString(*refused);
      ADD_FAILURE() << "a document of more than a million arrays opened";
    } catch (const Document::DecodingError& error) {
      EXPECT_EQ(std::string(error.what()),
                "dataCorrupted: the document is damaged: it holds more than 1048576 arrays and dictionaries.");
    }
  }
  EXPECT_EQ(Snapshot::fromJSONString(manySettings), (Snapshot{"<svg/>", "// w\n", Config()}));
}

TEST(DocumentFileTests, SnapshotJSONIsCompactInKeyOrderWithEscapedSlashes) {
  Config config;
  config.rootViewName = "A/B";
  const Snapshot snapshot{"<a href=\"x/y\">\n\t\"é\"</a>", "// ok\n", config};
  EXPECT_EQ(snapshot.jsonString(),
            R"({"svg":"<a href=\"x\/y\">\n\t\"é\"<\/a>","swift":"\/\/ ok\n","config":{"rootViewName":"A\/B",)"
            R"("indentUsing":" ","indent":2,"indentEmptyLines":false,"prefixSVG":true,"infoComments":true,)"
            R"("previewProvider":true,"imports":true,"newlineAfterClosePath":true,"initType":"type",)"
            R"("positioningType":"padding","maximumFractionDigits":4,"useHexColor":false}})");
  EXPECT_EQ(Snapshot::fromJSONString(snapshot.jsonString()), snapshot);
  EXPECT_EQ((Snapshot{"s", "w", std::nullopt}).jsonString(), R"({"svg":"s","swift":"w"})");
  EXPECT_EQ(errorCode([] { Snapshot{"\xff", "", std::nullopt}.jsonString(); }),
            CocoaError::fileWriteInapplicableStringEncoding);

  // Any key order, other keys ignored (however deep), a null config is none.
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(Snapshot::fromJSONString(R"({"x":)" + deep + R"(,"config":null,"swift":"w","svg":"s"})"),
            (Snapshot{"s", "w", std::nullopt}));
  for (const std::string& damaged :
       std::vector<std::string>{R"({"svg":"s"})", R"({"svg":1,"swift":"w"})", "[]", "{", "", deep.substr(0, 90000)}) {
    EXPECT_THROW(Snapshot::fromJSONString(damaged), Document::DecodingError) << damaged.substr(0, 20);
  }
}

TEST(DocumentFileTests, DocumentFilesReopenWithTheirTextsAndTheDefaultSettings) {
  Config::setDefaultConfig(Config());
  auto document = Document::fromSVGString(svgText, "");
  document->swift = "// edited\n";
  document->config.modify([](Config& config) { config.indent = 7; });
  const auto file = document->fileWrapper(document->snapshot(UTType::svgQuarvelDocument()),
                                          {UTType::svgQuarvelDocument(), std::nullopt});

  Config::setDefaultConfig(Config());
  auto reopened = open(UTType::svgQuarvelDocument(), file);
  EXPECT_EQ(reopened->svgString.get(), svgText);
  EXPECT_EQ(reopened->swift.get(), "// edited\n");
  EXPECT_EQ(reopened->config.get(), Config());  // the stored indent 7 is not taken
  EXPECT_TRUE(reopened->isSwiftModified());

  // Settings that are there must be readable, although they are not taken: damaged ones fail
  // the read with the decoder's error.
  try {
    open(UTType::svgQuarvelDocument(), R"({"svg":"<svg","swift":"kept","config":{"indent":2}})");
    ADD_FAILURE() << "a document with damaged settings opened";
  } catch (const Document::DecodingError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("keyNotFound", 0), 0u) << error.what();
  }
  EXPECT_THROW(open(UTType::svgQuarvelDocument(), R"({"svg":"s","swift":"w","config":[]})"), Document::DecodingError);
  EXPECT_THROW(Snapshot::fromJSONString(R"({"svg":"s","swift":"w","config":{"rootViewName":7}})"),
               Document::DecodingError);
}

TEST(DocumentFileTests, TextsANULCharacterOrTheirSizeKeepOutOfTheEditorsAreRefused) {
  auto refusal = [](const UTType& type, const std::string& contents) -> std::string {
    try {
      FileWrapper file = FileWrapper::regularFile(contents);
      file.filename = "doc.svgquarvel";
      Document::fromConfiguration({type, file});
    } catch (const CocoaError& error) {
      return std::to_string(error.code()) + " " + error.what();
    }
    return "opened";
  };
  const auto document = UTType::svgQuarvelDocument();
  // NUL in either text, written as JSON writes it.
  EXPECT_EQ(refusal(document, R"({"svg":"<svg>\u0000</svg>","swift":""})"),
            "259 The file \u201cdoc.svgquarvel\u201d couldn\u2019t be opened because its SVG text holds a NUL "
            "character, which the editors cannot show.");
  EXPECT_EQ(refusal(document, R"({"svg":"","swift":"// a\u0000b"})").substr(0, 4), "259 ");
  EXPECT_NE(refusal(document, R"({"svg":"","swift":"// a\u0000b"})").find("its Swift text"), std::string::npos);
  EXPECT_EQ(refusal(UTType::svg(), std::string("<svg/>\0", 7)).substr(0, 4), "259 ");
  EXPECT_EQ(refusal(document, R"({"svg":"<svg/>","swift":"// \u00e9 fine"})"), "opened");

  // SVG text past the bound of SVG files, in a document or an SVG file alike.
  const std::string big(Document::maximumOpenedSVGBytes + 1, ' ');
  EXPECT_EQ(refusal(document, Snapshot{big, "", std::nullopt}.jsonString()),
            "263 The file \u201cdoc.svgquarvel\u201d is too large to open: its SVG text has 16.0 MB (16777217 bytes); "
            "documents of at most 16 MB (16777216 bytes) of SVG text and 160 MB (167772160 bytes) of Swift text open.");
  EXPECT_EQ(refusal(UTType::svg(), big).substr(0, 4), "263 ");

  // A file too large to hold texts within the bounds is refused before it is read.
  const auto folder = scratchDirectory();
  const auto huge = folder / "huge.svgquarvel";
  writeFile(huge, "{}");
  std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);  // sparse: nothing is written
  try {
    Document::readContents(huge, document, Config());
    ADD_FAILURE() << "the huge file was read";
  } catch (const CocoaError& error) {
    EXPECT_EQ(error.code(), CocoaError::fileReadTooLarge);
    EXPECT_EQ(std::string(error.what()).rfind("The file \u201chuge.svgquarvel\u201d is too large to open: it has 1024 MB "
                                              "(1073741824 bytes); files of at most ",
                                              0),
              0u)
        << error.what();
  }
}

TEST(DocumentFileTests, ContentsReadOnAnotherThreadBecomeADocumentWithoutConvertingAgain) {
  Config::setDefaultConfig(Config());
  const std::string json = Snapshot{svgText, "// mine\n", std::nullopt}.jsonString();
  Document::ReadContents contents;
  std::thread reader([&] { contents = Document::readContents({UTType::svgQuarvelDocument(), FileWrapper::regularFile(json)}, Config()); });
  reader.join();
  EXPECT_EQ(contents.svg, svgText);
  EXPECT_EQ(contents.swift, "// mine\n");
  EXPECT_NE(contents.generated.code.find("Circle"), std::string::npos);

  // The code goes over as it is while the settings it was made with are the default...
  auto marked = contents;
  marked.generated.code = "// made elsewhere\n";
  EXPECT_EQ(Document::fromReadContents(marked)->generatedSwift.get(), "// made elsewhere\n");
  // ...and is made again once they are not.
  Config changed;
  changed.indent = 5;
  Config::setDefaultConfig(changed);
  auto regenerated = Document::fromReadContents(marked);
  Config::setDefaultConfig(Config());
  EXPECT_NE(regenerated->generatedSwift.get().find("Circle"), std::string::npos);
  EXPECT_EQ(regenerated->swift.get(), "// mine\n");
  EXPECT_TRUE(regenerated->isSwiftModified());
}

TEST(DocumentFileTests, TheDocumentsTypesNameTheirFilesForTheFileDialogs) {
  // The dialogs build their filters from these: a name, the extensions and the MIME type each.
  EXPECT_EQ(Document::readableContentTypes(), std::vector<UTType>{UTType::svgQuarvelDocument()});
  const auto writable = Document::writableContentTypes();
  ASSERT_EQ(writable.size(), 3u);
  std::vector<std::string> names, mimeTypes;
  for (const auto& type : writable) {
    names.push_back(type.localizedDescription());
    mimeTypes.push_back(type.preferredMIMEType());
    ASSERT_FALSE(type.filenameExtensions().empty());
    // A name given without extension gets the first one, which reads back as the same type.
    EXPECT_EQ(UTType::fromFilenameExtension(type.filenameExtensions().front()), type);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"SVG Quarvel document", "SVG drawing", "Swift source"}));
  EXPECT_EQ(mimeTypes, (std::vector<std::string>{"application/x-svgquarvel", "image/svg+xml", "text/x-swift"}));
  EXPECT_EQ(UTType("public.png").localizedDescription(), "public.png");
}

TEST(DocumentFileTests, SVGAndSwiftContentOpenAndSaveAsThemselves) {
  EXPECT_EQ(open(UTType::svg(), svgText, "drawing.svg")->swift.get(),
            Snapshot::fromSVGString(svgText, std::nullopt, Config()).swift);
  EXPECT_EQ(open(UTType::svg(), "<svg", "bad\nname.svg")->swift.get(), "// Could not parse SVG bad name.svg\n");

  auto fromSwift = open(UTType::swiftSource(), "struct A {}\n");
  EXPECT_EQ(fromSwift->svgString.get(), "<!-- No SVG -->");
  EXPECT_EQ(fromSwift->swift.get(), "struct A {}\n");

  const auto snapshot = fromSwift->snapshot(UTType::svg());
  auto saved = [&](const UTType& type) { return *fromSwift->fileWrapper(snapshot, {type, std::nullopt}).regularFileContents(); };
  EXPECT_EQ(saved(UTType::svg()), "<!-- No SVG -->");
  EXPECT_EQ(saved(UTType::swiftSource()), "struct A {}\n");
  EXPECT_EQ(saved(UTType::svgQuarvelDocument()), snapshot.jsonString());
}

TEST(DocumentFileTests, UnreadableContentFailsWithClearErrors) {
  CapturedConsole console;
  EXPECT_EQ(errorCode([] { open(UTType::svgQuarvelDocument(), FileWrapper::directory()); }),
            CocoaError::fileReadCorruptFile);
  EXPECT_EQ(console.err().rfind("ERROR: could not access file data: ReadConfiguration(contentType: ", 0), 0u);
  EXPECT_EQ(errorCode([] { open(UTType("public.png"), ""); }), CocoaError::fileReadCorruptFile);
  EXPECT_NE(console.err().find("\nERROR: unexpected file type: public.png size: #0 bytes <nil>\n"), std::string::npos);
  EXPECT_EQ(errorCode([] { open(UTType::swiftSource(), "\xED\xA0\x80"); }), CocoaError::fileReadCorruptFile);
}

TEST(DocumentFileTests, FilesAreWrittenAtomicallyAndReadWithTheirEncoding) {
  const auto folder = scratchDirectory();
  const auto path = folder / "doc.svgquarvel";
  writeFile(path, "old");
  ::chmod(path.c_str(), 0640);
  FileWrapper::regularFile("new").write(path);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no temporary file left
  EXPECT_EQ(errorCode([&] { FileWrapper::regularFile("x").write(folder / "no" / "doc"); }), CocoaError::fileNoSuchFile);
  EXPECT_EQ(FileWrapper::fromURL(path).regularFileContents(), "new");

  // A byte-order mark selects the encoding; other text must be UTF-8.
  writeFile(folder / "le16.svg", std::string("\xFF\xFE<\0\xE9\0=\xD8\x00\xDE", 10));
  writeFile(folder / "bom8.svg", "\xEF\xBB\xBF<s>");
  writeFile(folder / "latin1.svg", "caf\xE9");
  ASSERT_EQ(::mkfifo((folder / "pipe.svg").c_str(), 0600), 0);
  EXPECT_EQ(SVGQuarvel::readTextFileDetectingEncoding(folder / "le16.svg"), "<\u00E9\U0001F600");
  EXPECT_EQ(SVGQuarvel::readTextFileDetectingEncoding(folder / "bom8.svg"), "<s>");
  auto readingError = [&](const char* name) { return errorCode([&] { SVGQuarvel::readTextFileDetectingEncoding(folder / name); }); };
  EXPECT_EQ(readingError("latin1.svg"), CocoaError::fileReadUnknownStringEncoding);
  EXPECT_EQ(readingError("none.svg"), CocoaError::fileReadNoSuchFile);
  EXPECT_EQ(readingError("pipe.svg"), CocoaError::fileReadUnknown);  // refused, not waited on

  // Text holding NUL is refused in every encoding alike.
  writeFile(folder / "nul8.svg", std::string("<s>\0</s>", 8));
  writeFile(folder / "nul16le.svg", std::string("\xFF\xFE\0\0", 4));
  writeFile(folder / "nul16be.svg", std::string("\xFE\xFF\0<\0\0", 6));
  for (const char* name : {"nul8.svg", "nul16le.svg", "nul16be.svg"}) {
    EXPECT_EQ(readingError(name), CocoaError::fileReadUnknownStringEncoding) << name;
  }
}

namespace {

/// Gives the file a modification time of its own, as a program writing it a while later would.
void touchAt(const std::filesystem::path& path, time_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::size_t entriesIn(const std::filesystem::path& folder) {
  return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

}  // namespace

TEST(DocumentFileTests, AWriteRefusesAFileThatChangedSinceItWasReadOrWritten) {
  const auto folder = scratchDirectory();
  const auto path = folder / "doc.svgquarvel";
  writeFile(path, "first");
  touchAt(path, 1000000000);
  const auto read = FileWrapper::fromURL(path);
  ASSERT_TRUE(read.entityTag.has_value());
  ASSERT_FALSE(read.entityTag->empty());
  EXPECT_EQ(FileWrapper::regularFile("x").entityTag, std::nullopt);

  // Unchanged: written, with a new identity that the next write checks against.
  const auto mine = FileWrapper::regularFile("mine").write(path, read.entityTag);
  EXPECT_EQ(readFile(path), "mine");
  EXPECT_NE(mine, *read.entityTag);
  EXPECT_EQ(FileWrapper::regularFile("again").write(path, mine).empty(), false);
  const auto current = FileWrapper::fromURL(path).entityTag;

  // Another program replaces the file by renaming a new one over it, or writes into it.
  writeFile(folder / "theirs.tmp", "theirs");
  std::filesystem::rename(folder / "theirs.tmp", path);
  EXPECT_THROW(FileWrapper::regularFile("lost?").write(path, current), FileChangedError);
  EXPECT_EQ(readFile(path), "theirs");
  EXPECT_EQ(entriesIn(folder), 1u) << "no temporary file is left";
  const auto theirs = FileWrapper::fromURL(path).entityTag;
  {
    std::ofstream inPlace(path, std::ios::binary | std::ios::trunc);
    inPlace << "rewritten";
  }
  touchAt(path, 1100000000);
  try {
    FileWrapper::regularFile("lost?").write(path, theirs);
    ADD_FAILURE() << "a file rewritten in place was overwritten";
  } catch (const FileChangedError& error) {
    EXPECT_NE(std::string(error.what()).find("\u201Cdoc.svgquarvel\u201D has been changed by another application"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(readFile(path), "rewritten");
  // Without an identity to check (the user chose to overwrite) it is written.
  FileWrapper::regularFile("overwritten").write(path);
  EXPECT_EQ(readFile(path), "overwritten");
  // A file that went away is written anew; an identity no file has (a file that kept changing
  // while it was read) counts as changed.
  std::filesystem::remove(path);
  FileWrapper::regularFile("anew").write(path, theirs);
  EXPECT_EQ(readFile(path), "anew");
  EXPECT_THROW(FileWrapper::regularFile("x").write(path, std::string()), FileChangedError);
}

TEST(DocumentFileTests, AWriteKeepsSymbolicLinksHardLinksAndPermissionsAndRefusesReadOnlyFiles) {
  const auto folder = scratchDirectory();
  std::filesystem::create_directories(folder / "real");
  const auto target = folder / "real" / "doc.svgquarvel";
  writeFile(target, "old");
  ::chmod(target.c_str(), 0640);
  // A relative link, and a link to that link.
  std::filesystem::create_symlink("real/doc.svgquarvel", folder / "link.svgquarvel");
  std::filesystem::create_symlink(folder / "link.svgquarvel", folder / "chain.svgquarvel");
  const auto tag = FileWrapper::fromURL(folder / "chain.svgquarvel").entityTag;
  FileWrapper::regularFile("through the links").write(folder / "chain.svgquarvel", tag);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.svgquarvel"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "chain.svgquarvel"));
  EXPECT_EQ(readFile(target), "through the links");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(entriesIn(folder / "real"), 1u);

  // A link loop is an error, not a hang.
  std::filesystem::create_symlink(folder / "loop-b", folder / "loop-a");
  std::filesystem::create_symlink(folder / "loop-a", folder / "loop-b");
  EXPECT_EQ(errorCode([&] { FileWrapper::regularFile("x").write(folder / "loop-a"); }), CocoaError::fileWriteUnknown);

  // A file with a second name is still replaced as a whole, with its permissions.
  std::filesystem::create_hard_link(target, folder / "second-name");
  FileWrapper::regularFile("newer").write(target);
  EXPECT_EQ(readFile(target), "newer");
  EXPECT_EQ(readFile(folder / "second-name"), "through the links") << "the old contents were written in place";
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  // Read-only: refused (whoever runs this, the administrator too), and left alone.
  ::chmod(target.c_str(), 0444);
  try {
    FileWrapper::regularFile("replaced?").write(folder / "link.svgquarvel");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const CocoaError& error) {
    EXPECT_EQ(error.code(), CocoaError::fileWriteNoPermission);
    EXPECT_NE(std::string(error.what()).find("you don\u2019t have permission to write to it"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(readFile(target), "newer");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.svgquarvel"));
}

TEST(DocumentFileTests, AFileThatSaysItIsEmptyIsReadNoFurtherThanTheBound) {
  const auto folder = scratchDirectory();
  // Its size reads as 0 and it goes on for as long as the address space does.
  for (const char* name : {"endless.svgquarvel", "endless.svg"}) {
    std::filesystem::create_symlink("/proc/self/pagemap", folder / name);
  }
  EXPECT_EQ(errorCode([&] { FileWrapper::fromURL(folder / "endless.svgquarvel", 1 << 20); }),
            CocoaError::fileReadTooLarge);
  try {
    Document::readContents(folder / "endless.svgquarvel", UTType::svgQuarvelDocument(), Config());
    ADD_FAILURE() << "the endless file was read";
  } catch (const CocoaError& error) {
    EXPECT_EQ(error.code(), CocoaError::fileReadTooLarge);
    EXPECT_NE(std::string(error.what()).find("is too large to open: it has more than"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(errorCode([&] { SVGQuarvel::readTextFileDetectingEncoding(folder / "endless.svg", 1 << 20); }),
            CocoaError::fileReadTooLarge);
  // A file exactly at the bound is read whole.
  writeFile(folder / "full.svg", std::string(1 << 20, ' '));
  EXPECT_EQ(SVGQuarvel::readTextFileDetectingEncoding(folder / "full.svg", 1 << 20).size(), std::size_t{1} << 20);
}

TEST(DocumentFileTests, NamesShowOnOneLineWithTheirControlCharactersAsPictures) {
  // Line breaks, tabs, escape and delete, the C1 controls and the Unicode line and paragraph
  // separators would break or hide a line of a message.
  EXPECT_EQ(SVGQuarvel::displayFileName("/tmp/a\nb\r\tc\x1b\x7f.svg"), "a\u240Ab\u240D\u2409c\u241B\u2421.svg");
  EXPECT_EQ(SVGQuarvel::displayFileName("/tmp/x\u0085y\u2028z\u2029.svg"), "x\uFFFDy\u2424z\u2424.svg");
  EXPECT_EQ(SVGQuarvel::displayFileName(std::string("/tmp/") + std::string(500, '\n')).find('\n'), std::string::npos);
  EXPECT_EQ(SVGQuarvel::displayText("not \xe9 UTF-8\n"), "not \uFFFD UTF-8\u240A");
  // Directional overrides, embeddings and isolates would turn the rest of the line round, and an
  // unpaired closing one would end the isolation of the line around the name.
  EXPECT_EQ(SVGQuarvel::displayText("a\u202Egvs.txt\u202A\u202B\u202C\u202D"), "a\uFFFDgvs.txt\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(SVGQuarvel::displayText("\u2066\u2067\u2068x\u2069"), "\uFFFD\uFFFD\uFFFDx\uFFFD");
  // Other characters are kept as they are: right-to-left letters, marks and zero-width ones.
  EXPECT_EQ(SVGQuarvel::displayText("Caf\u00e9 \u201cq\u201d \U0001F600"), "Caf\u00e9 \u201cq\u201d \U0001F600");
  EXPECT_EQ(SVGQuarvel::displayText("\u05E9\u05DC\u05D5\u05DD \u200F\u200B.svg"), "\u05E9\u05DC\u05D5\u05DD \u200F\u200B.svg");
}

TEST(DocumentFileTests, NamesThatAreNotUTF8AreShownWithTheirBadBytesReplaced) {
  const auto folder = scratchDirectory();
  const auto latin1 = folder / "Caf\xe9.svg";
  writeFile(latin1, "<svg");
  EXPECT_EQ(SVGQuarvel::displayFileName(latin1), "Caf\uFFFD.svg");
  EXPECT_EQ(SVGQuarvel::displayFileName(folder / "Caf\u00e9.svg"), "Caf\u00e9.svg");
  // The placeholder of a drawing that does not parse names it, and the document still saves.
  const auto contents = Document::readContents(latin1, UTType::svg(), Config());
  EXPECT_EQ(contents.swift, "// Could not parse SVG Caf\uFFFD.svg\n");
  EXPECT_NO_THROW((Snapshot{contents.svg, contents.swift, std::nullopt}.jsonString()));
  // Error messages name it in UTF-8 too.
  std::filesystem::create_directories(folder / "Dir\xe9.svgquarvel");
  try {
    FileWrapper::regularFile("x").write(folder / "Dir\xe9.svgquarvel");
    ADD_FAILURE() << "a folder was written";
  } catch (const CocoaError& error) {
    EXPECT_TRUE(SVGQuarvel::isValidUTF8(error.what())) << error.what();
    EXPECT_NE(std::string(error.what()).find("Dir\uFFFD.svgquarvel"), std::string::npos) << error.what();
  }
}

TEST(DocumentFileTests, AFolderThatBecameAFileIsNamedAsSuch) {
  const auto folder = scratchDirectory();
  std::filesystem::create_directories(folder / "drawings");
  const auto file = folder / "drawings" / "doc.svgquarvel";
  writeFile(file, Snapshot{svgText, "", std::nullopt}.jsonString());
  const auto read = FileWrapper::fromURL(file);
  std::filesystem::rename(folder / "drawings", folder / "moved");
  writeFile(folder / "drawings", "a file now");
  for (const auto& failure : {std::function<void()>([&] { FileWrapper::regularFile("x").write(file, read.entityTag); }),
                              std::function<void()>([&] { FileWrapper::fromURL(file); })}) {
    try {
      failure();
      ADD_FAILURE() << "the file under a file was reached";
    } catch (const CocoaError& error) {
      EXPECT_NE(std::string(error.what()).find("because \u201cdrawings\u201d, a folder on its path, is no longer a folder"),
                std::string::npos)
          << error.what();
      EXPECT_EQ(std::string(error.what()).find("permission"), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(readFile(folder / "drawings"), "a file now");
}

TEST(DocumentFileTests, TextsThatWouldNotOpenAgainAreNotSaved) {
  const auto document = Document::newDocument();
  const std::string largeSwift(Document::maximumOpenedSwiftBytes + 1, ' ');
  const std::string largeSVG(Document::maximumOpenedSVGBytes + 1, ' ');
  for (const auto& [snapshot, type, kind] :
       {std::tuple{Snapshot{svgText, largeSwift, std::nullopt}, UTType::svgQuarvelDocument(), "Swift"},
        std::tuple{Snapshot{largeSVG, "", std::nullopt}, UTType::svgQuarvelDocument(), "SVG"},
        std::tuple{Snapshot{largeSVG, "", std::nullopt}, UTType::svg(), "SVG"},
        std::tuple{Snapshot{svgText, largeSwift, std::nullopt}, UTType::swiftSource(), "Swift"}}) {
    try {
      document->fileWrapper(snapshot, {type, std::nullopt});
      ADD_FAILURE() << "saved " << kind << " text that does not open";
    } catch (const CocoaError& error) {
      EXPECT_NE(std::string(error.what()).find(std::string("its ") + kind + " text has"), std::string::npos)
          << error.what();
    }
  }
  // One text past its bound does not stop a file that holds only the other.
  EXPECT_NO_THROW(document->fileWrapper(Snapshot{svgText, largeSwift, std::nullopt}, {UTType::svg(), std::nullopt}));
  EXPECT_NO_THROW(document->fileWrapper(Snapshot{largeSVG, "//", std::nullopt}, {UTType::swiftSource(), std::nullopt}));
  // At the bounds it saves, and opens again.
  const std::string atBound = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>" +
                              std::string(Document::maximumOpenedSVGBytes - 41, ' ');
  ASSERT_EQ(atBound.size(), Document::maximumOpenedSVGBytes);
  const auto file = document->fileWrapper(Snapshot{atBound, "//", std::nullopt}, {UTType::svgQuarvelDocument(), std::nullopt});
  EXPECT_NO_THROW(Document::fromConfiguration({UTType::svgQuarvelDocument(), file}));

  // Texts within their bounds whose file would not open: control characters are written as six
  // bytes each, so 60 MB of them make a file larger than any document file that opens.
  try {
    document->fileWrapper(Snapshot{svgText, std::string(60u << 20, '\x01'), std::nullopt},
                          {UTType::svgQuarvelDocument(), std::nullopt});
    ADD_FAILURE() << "saved a document file that does not open";
  } catch (const CocoaError& error) {
    EXPECT_NE(std::string(error.what()).find("because its file would have"), std::string::npos) << error.what();
  }
}

TEST(DocumentFileTests, WhatIsNotAFileOrCannotBeReachedIsNamedAsSuch) {
  const auto folder = scratchDirectory();
  auto message = [](const std::function<void()>& action) -> std::string {
    try {
      action();
    } catch (const CocoaError& error) {
      return error.what();
    }
    return "done";
  };
  auto saving = [&](const std::filesystem::path& path, std::optional<std::string> tag = std::nullopt) {
    return message([&] { FileWrapper::regularFile("new").write(path, tag); });
  };
  auto opening = [&](const std::filesystem::path& path) { return message([&] { FileWrapper::fromURL(path); }); };

  // The document's file became a folder; a named pipe, a socket and a device (through a link)
  // have its name.
  const auto document = folder / "doc.svgquarvel";
  writeFile(document, "old");
  const auto tag = FileWrapper::fromURL(document).entityTag;
  std::filesystem::remove(document);
  std::filesystem::create_directory(document);
  EXPECT_EQ(saving(document, tag),
            "The file \u201cdoc.svgquarvel\u201d couldn\u2019t be saved because it is a folder, not a file.");
  ASSERT_EQ(::mkfifo((folder / "pipe.svg").c_str(), 0600), 0);
  EXPECT_EQ(saving(folder / "pipe.svg"),
            "The file \u201cpipe.svg\u201d couldn\u2019t be saved because it is a named pipe, not a file.");
  EXPECT_EQ(opening(folder / "pipe.svg"),
            "The file \u201cpipe.svg\u201d couldn\u2019t be opened because it is a named pipe, not a file.");
  std::filesystem::create_symlink("/dev/null", folder / "device.svg");
  EXPECT_EQ(saving(folder / "device.svg"),
            "The file \u201cdevice.svg\u201d couldn\u2019t be saved because it is a device, not a file.");
  EXPECT_EQ(opening(folder / "device.svg"),
            "The file \u201cdevice.svg\u201d couldn\u2019t be opened because it is a device, not a file.");
  const auto socketPath = folder / "socket.svg";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.string().size(), sizeof address.sun_path);
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(opening(socketPath),
            "The file \u201csocket.svg\u201d couldn\u2019t be opened because it is a socket, not a file.");
  ::close(listener);

  // A name longer than names may be, and links in a loop.
  const auto longName = folder / (std::string(256, 'n') + ".svg");
  EXPECT_NE(saving(longName).find("couldn\u2019t be saved because its name or the path to it is too long."),
            std::string::npos);
  EXPECT_NE(opening(longName).find("couldn\u2019t be opened because its name or the path to it is too long."),
            std::string::npos);
  std::filesystem::create_symlink("loop-b.svg", folder / "loop-a.svg");
  std::filesystem::create_symlink("loop-a.svg", folder / "loop-b.svg");
  EXPECT_EQ(opening(folder / "loop-a.svg"),
            "The file \u201cloop-a.svg\u201d couldn\u2019t be opened because its symbolic links lead round in a loop.");
  EXPECT_EQ(saving(folder / "loop-a.svg"),
            "The file \u201cloop-a.svg\u201d couldn\u2019t be saved because its symbolic links lead round in a loop.");
  EXPECT_EQ(entriesIn(folder), 6u) << "a temporary file was left";

  // A disk that can only be read is not a matter of permission.
  const auto disk = folder / "disk";
  std::filesystem::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "no file system could be mounted";
  writeFile(disk / "doc.svg", "old");
  const bool readOnly = ::mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
  const auto onReadOnlyDisk = saving(disk / "doc.svg");
  ::umount2(disk.c_str(), MNT_DETACH);
  if (!readOnly) GTEST_SKIP() << "the file system could not be made read-only";
  EXPECT_EQ(onReadOnlyDisk,
            "The file \u201cdoc.svg\u201d couldn\u2019t be saved because the disk it is on can only be read.");
}

namespace {

/// Saves and opens a document with no file descriptor left; what went wrong, empty when nothing
/// did. Every thread of the process would find no descriptor either (the sanitizer build's check of
/// an object's type, the first time a virtual call meets it, needs two): this runs where no other
/// thread does.
std::string savingAndOpeningWithNoFileLeft() {
  std::string failures;
  const auto expect = [&](bool holds, const std::string& what) {
    if (!holds) failures += what + "\n";
  };
  const auto folder = scratchDirectory();
  const auto document = folder / "doc.svgquarvel";
  writeFile(document, "old");
  const auto tag = FileWrapper::fromURL(document).entityTag;
  std::string saved = "saved", opened = "opened";
  // The calls a failure makes meet their objects here first.
  for (const std::error_category* category : {&std::generic_category(), &std::system_category()}) {
    const std::error_code code(EMFILE, *category);
    expect(!(code == Fennix::ReplaceFileError::fileChanged) && !code.message().empty(), "an error code");
  }
  try {
    FileWrapper::fromURL(folder / "missing.svgquarvel");
  } catch (const CocoaError& error) {
    expect(std::string(error.what()) != "", "no message for a missing file");
  }
  const int threads = threadCount();
  if (threads != 1) return "the process runs " + std::to_string(threads) + " threads";
  {
    // The limit is the lowest descriptor free: none at or above it may be opened.
    const int lowest = ::dup(0);
    if (lowest < 0) return "no descriptor";
    ::close(lowest);
    struct rlimit kept {};
    if (::getrlimit(RLIMIT_NOFILE, &kept) != 0) return "no limit";
    struct rlimit lowered = kept;
    lowered.rlim_cur = rlim_t(lowest);
    if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0) return "the limit was not lowered";
    try {
      FileWrapper::regularFile("new").write(document, tag);
    } catch (const CocoaError& error) {
      saved = error.what();
    }
    try {
      FileWrapper::fromURL(document);
    } catch (const CocoaError& error) {
      opened = error.what();
    }
    if (::setrlimit(RLIMIT_NOFILE, &kept) != 0) return "the limit was not restored";
  }
  expect(saved == "The file \u201cdoc.svgquarvel\u201d couldn\u2019t be saved because this application has too many "
                  "files open. Close some of its windows and try again.",
         "the save said: " + saved);
  expect(opened == "The file \u201cdoc.svgquarvel\u201d couldn\u2019t be opened because this application has too "
                   "many files open. Close some of its windows and try again.",
         "the open said: " + opened);
  expect(readFile(document) == "old", "the document changed");
  expect(entriesIn(folder) == 1u, "a temporary file was left");
  return failures;
}

}  // namespace

// With every file descriptor the process may have in use, nothing can be opened: a save and an
// open say so and what to do, and the file stays as it was.
TEST(DocumentFileTests, WithNoFileLeftToOpenASaveAndAnOpenSayWhy) {
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS_WITH_ONE_THREAD(savingAndOpeningWithNoFileLeft);
}

// A name that was the document's file and became a symbolic link has changed, wherever the link
// leads: the save asks, naming where; overwriting then writes there with the permissions of the
// version read, not those of the file found there.
TEST(DocumentFileTests, ANameThatBecameALinkIsAChangeThatNamesWhereItLeads) {
  const auto folder = scratchDirectory();
  const auto document = folder / "private.svgquarvel";
  writeFile(document, "secret");
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  const auto read = FileWrapper::fromURL(document);
  auto changedDetail = [&](const std::optional<std::string>& tag) -> std::string {
    try {
      FileWrapper::regularFile("secret, edited").write(document, tag);
    } catch (const FileChangedError& error) {
      EXPECT_NE(std::string(error.what()).find(error.detail()), std::string::npos) << error.what();
      return error.detail();
    }
    return "written";
  };

  // To a place where no file is. The file read is kept aside, so that no file made below takes its
  // number (the system gives the number of a file that is gone to the next new one), which would
  // make it the file read.
  std::filesystem::rename(document, folder / "read.svgquarvel");
  const auto nowhere = folder / "public" / "leak.svgquarvel";
  std::filesystem::create_directories(nowhere.parent_path());
  std::filesystem::create_symlink(nowhere, document);
  EXPECT_EQ(changedDetail(read.entityTag), "Its name is now a symbolic link to \u201c" + nowhere.string() +
                                               "\u201d, where there is no file: overwriting makes one there.");
  EXPECT_FALSE(std::filesystem::exists(nowhere));
  FileWrapper::regularFile("secret, edited").write(document, read.entityTag, true);
  EXPECT_EQ(readFile(nowhere), "secret, edited");
  struct stat info {};
  ASSERT_EQ(::stat(nowhere.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);

  // To another file, readable by everyone: it is named, and overwriting it keeps the text private.
  std::filesystem::remove(document);
  const auto other = folder / "public" / "notes.txt";
  writeFile(other, "their notes");
  ASSERT_EQ(::chmod(other.c_str(), 0644), 0);
  std::filesystem::create_symlink("public/notes.txt", document);
  EXPECT_EQ(changedDetail(read.entityTag), "Its name is now a symbolic link to \u201c" + other.string() +
                                               "\u201d, another file: overwriting replaces that file.");
  EXPECT_EQ(readFile(other), "their notes");
  const auto written = FileWrapper::regularFile("secret, edited").write(document, read.entityTag, true);
  EXPECT_EQ(readFile(other), "secret, edited");
  ASSERT_EQ(::stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  EXPECT_TRUE(std::filesystem::is_symlink(document));
  // Written through the link at the user's word, it is saved through it from then on.
  EXPECT_EQ(changedDetail(written), "written");
  EXPECT_EQ(entriesIn(folder / "public"), 2u) << "a temporary file was left";

  // To a folder or a named pipe: nothing could be written there, so nothing is asked either.
  for (const auto& [name, kind] : std::vector<std::pair<const char*, const char*>>{{"pipe", "a named pipe"},
                                                                                    {"folder", "a folder"}}) {
    const auto notFile = folder / "public" / name;
    if (std::string(name) == "pipe") {
      ASSERT_EQ(::mkfifo(notFile.c_str(), 0600), 0);
    } else {
      std::filesystem::create_directory(notFile);
    }
    std::filesystem::remove(document);
    std::filesystem::create_symlink(notFile, document);
    try {
      FileWrapper::regularFile("secret, edited").write(document, read.entityTag);
      ADD_FAILURE() << "written to " << kind;
    } catch (const FileChangedError& error) {
      ADD_FAILURE() << "asked about " << kind << ": " << error.what();
    } catch (const CocoaError& error) {
      EXPECT_EQ(std::string(error.what()),
                "The file \u201cprivate.svgquarvel\u201d couldn\u2019t be saved because it is " + std::string(kind) +
                    ", not a file.");
    }
  }

  // A place whose name holds a line break is named on one line, as names are in messages.
  std::filesystem::remove(document);
  std::filesystem::create_symlink("two\nlines.svgquarvel", document);
  EXPECT_EQ(changedDetail(read.entityTag), "Its name is now a symbolic link to \u201c" +
                                               (folder / "two\u240Alines.svgquarvel").string() +
                                               "\u201d, where there is no file: overwriting makes one there.");
}

// The user's Overwrite answers the question asked: a link that another program turned to another
// place meanwhile is asked about anew, naming that place, and neither file is written until then.
TEST(DocumentFileTests, AnOverwriteAnswersOnlyTheLinkItWasAskedAbout) {
  const auto folder = scratchDirectory();
  const auto document = folder / "private.svgquarvel";
  writeFile(document, "secret");
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  const auto read = FileWrapper::fromURL(document);
  const auto first = folder / "first.svgquarvel", second = folder / "second.svgquarvel";
  writeFile(first, "first");
  writeFile(second, "second");
  std::filesystem::remove(document);
  std::filesystem::create_symlink("first.svgquarvel", document);
  auto askedAbout = [&](const std::optional<std::string>& approved) -> std::string {
    try {
      FileWrapper::regularFile("secret, edited").write(document, read.entityTag, approved.has_value(), approved);
    } catch (const FileChangedError& error) {
      return error.detail();
    }
    return "written";
  };
  const std::string aboutFirst = askedAbout(std::nullopt);
  ASSERT_NE(aboutFirst.find(first.string()), std::string::npos) << aboutFirst;

  // Turned to the second file, then to where no file is, while the question showed.
  std::filesystem::remove(document);
  std::filesystem::create_symlink("second.svgquarvel", document);
  const std::string aboutSecond = askedAbout(aboutFirst);
  EXPECT_NE(aboutSecond.find(second.string()), std::string::npos) << aboutSecond;
  std::filesystem::remove(document);
  std::filesystem::create_symlink("gone.svgquarvel", document);
  EXPECT_NE(askedAbout(aboutSecond).find("where there is no file"), std::string::npos);
  // Back to a file where the name leads: an ordinary change answered earlier does not answer it.
  std::filesystem::remove(document);
  std::filesystem::create_symlink("second.svgquarvel", document);
  EXPECT_EQ(askedAbout(""), aboutSecond);
  EXPECT_EQ(readFile(first), "first");
  EXPECT_EQ(readFile(second), "second");

  EXPECT_EQ(askedAbout(aboutSecond), "written");
  EXPECT_EQ(readFile(second), "secret, edited");
  EXPECT_EQ(readFile(first), "first");
  EXPECT_EQ(entriesIn(folder), 3u) << "a temporary file was left";
}

// A document opened through a link whose link another program turned to another file has changed
// as a name that became a link has: the save asks, naming where it leads now, and Overwrite gives
// the file there the version read's permissions, not its own. Its file replaced where the link
// leads is an ordinary change.
TEST(DocumentFileTests, ALinkTurnedToAnotherFileIsAChangeThatNamesWhereItLeads) {
  const auto folder = scratchDirectory();
  const auto document = folder / "link.svgquarvel";
  const auto mine = folder / "mine.svgquarvel", open = folder / "open.svgquarvel";
  writeFile(mine, "secret");
  ASSERT_EQ(::chmod(mine.c_str(), 0600), 0);
  writeFile(open, "for all");
  ASSERT_EQ(::chmod(open.c_str(), 0644), 0);
  std::filesystem::create_symlink("mine.svgquarvel", document);
  const auto read = FileWrapper::fromURL(document);
  // Saved through the link, as always.
  const auto saved = FileWrapper::regularFile("secret, saved").write(document, read.entityTag);
  EXPECT_EQ(readFile(mine), "secret, saved");

  std::filesystem::remove(document);
  std::filesystem::create_symlink("open.svgquarvel", document);
  std::string detail = "written";
  try {
    FileWrapper::regularFile("secret, edited").write(document, saved);
  } catch (const FileChangedError& error) {
    detail = error.detail();
  }
  EXPECT_EQ(detail, "Its name is now a symbolic link to \u201c" + open.string() +
                        "\u201d, another file: overwriting replaces that file.");
  EXPECT_EQ(readFile(open), "for all");
  FileWrapper::regularFile("secret, edited").write(document, saved, true, detail);
  EXPECT_EQ(readFile(open), "secret, edited");
  struct stat info {};
  ASSERT_EQ(::stat(open.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  EXPECT_EQ(readFile(mine), "secret, saved");

  // Its file replaced by another program where the link leads: asked about without a link detail.
  std::filesystem::remove(document);
  std::filesystem::create_symlink("mine.svgquarvel", document);
  const auto again = FileWrapper::fromURL(document);
  writeFile(folder / "theirs.tmp", "theirs");
  std::filesystem::rename(folder / "theirs.tmp", mine);
  try {
    FileWrapper::regularFile("mine again").write(document, again.entityTag);
    ADD_FAILURE() << "written over another program's change";
  } catch (const FileChangedError& error) {
    EXPECT_EQ(error.detail(), "") << error.what();
  }
  EXPECT_EQ(readFile(mine), "theirs");
}

// A link to the very version read leads to the document's own file, whether another name of it
// was chosen or the file was moved and a link left in its place: nothing changed, nothing is asked,
// and the file is saved through the link. A link to that file once it changed is asked about.
TEST(DocumentFileTests, ALinkToTheVersionReadIsTheDocumentsOwnFile) {
  const auto folder = scratchDirectory();
  const auto document = folder / "doc.svgquarvel";
  writeFile(document, "first");
  const auto read = FileWrapper::fromURL(document);
  const auto alias = folder / "alias.svgquarvel";
  std::filesystem::create_symlink("doc.svgquarvel", alias);
  FileWrapper::regularFile("second").write(alias, read.entityTag);
  EXPECT_EQ(readFile(document), "second");
  EXPECT_TRUE(std::filesystem::is_symlink(alias));

  const auto readAgain = FileWrapper::fromURL(document);
  const auto moved = folder / "moved.svgquarvel";
  std::filesystem::rename(document, moved);
  std::filesystem::create_symlink("moved.svgquarvel", document);
  const auto writtenOnce = FileWrapper::regularFile("third").write(document, readAgain.entityTag);
  EXPECT_EQ(readFile(moved), "third");
  EXPECT_TRUE(std::filesystem::is_symlink(document));

  // Changed by another program in place, it is asked about as the document's file, not as another.
  const auto readMoved = FileWrapper::fromURL(moved);
  {
    std::ofstream inPlace(moved, std::ios::binary | std::ios::trunc);
    inPlace << "theirs";
  }
  // Written an hour ago as far as its time goes: another version whatever the clock's grain.
  const struct timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, moved.c_str(), anHourAgo, 0), 0);
  try {
    FileWrapper::regularFile("fourth").write(alias, readMoved.entityTag);
    ADD_FAILURE() << "written over another program's change";
  } catch (const FileChangedError& error) {
    EXPECT_EQ(error.detail(), "") << error.what();
  }
  EXPECT_THROW(FileWrapper::regularFile("fourth").write(alias, writtenOnce), FileChangedError);
  EXPECT_EQ(readFile(moved), "theirs");
  EXPECT_EQ(entriesIn(folder), 3u) << "a temporary file was left";
}

// A document whose file went while it was open (removed, renamed by another program, its folder
// replaced by an empty one) is written anew under its name, and no more open than the version
// read or last written: a private document does not become readable by everyone, whatever the
// process's umask lets new files be.
TEST(DocumentFileTests, ADocumentWhoseFileWentIsWrittenAnewNoMoreOpenThanItWas) {
  const auto folder = scratchDirectory();
  const auto document = folder / "private.svgquarvel";
  writeFile(document, "secret");
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  const auto read = FileWrapper::fromURL(document);
  // New files may be open to everyone here: only the version read keeps them closed.
  struct OpenUmask {
    mode_t kept = ::umask(0);
    ~OpenUmask() { ::umask(kept); }
  } openUmask;
  struct stat info {};

  std::filesystem::rename(document, folder / "renamed.svgquarvel");
  const auto written = FileWrapper::regularFile("secret, edited").write(document, read.entityTag);
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  EXPECT_EQ(readFile(document), "secret, edited");

  // The version written keeps it so: removed again, it comes back private. Permissions changed
  // since change the file's status as a rewrite in place does: the save asks, and the user's
  // Overwrite keeps them.
  ASSERT_EQ(::chmod(document.c_str(), 0640), 0);
  EXPECT_THROW(FileWrapper::regularFile("shared with the group").write(document, written), FileChangedError);
  const auto shared = FileWrapper::regularFile("shared with the group").write(document, written, true);
  std::filesystem::remove(document);
  FileWrapper::regularFile("still shared with the group").write(document, shared);
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u) << std::oct << (info.st_mode & 07777);

  // Where the user says to overwrite, too.
  std::filesystem::remove(document);
  FileWrapper::regularFile("overwritten").write(document, read.entityTag, true);
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  EXPECT_EQ(entriesIn(folder), 2u) << "a temporary file was left";

}

// A file shared with one user by an access control list has the list's mask as its group's
// permissions. Written through a link that replaced its name, without the list, the version read
// lets its group do only what the group's own entry let it, never what the mask allowed others.
TEST(DocumentFileTests, OverwritingThroughANewLinkNeverOpensTheFileToItsGroup) {
  const auto folder = scratchDirectory();
  const auto document = folder / "shared.svgquarvel";
  writeFile(document, "for one colleague");
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  // The owner reads and writes, the user 4242 too; the file's group may do nothing; the mask rw.
  const std::string list = FileAttributesTestSupport::accessList(06, {{4242, 06}}, 0, 06, 0);
  if (::setxattr(document.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) != 0) {
    GTEST_SKIP() << "this file system keeps no access control lists";
  }
  struct stat info {};
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  ASSERT_EQ(info.st_mode & 07777, 0660u) << "the group's permissions are the mask";

  // As read, and as saved (the list kept).
  const auto read = FileWrapper::fromURL(document);
  const auto written = FileWrapper::regularFile("for one colleague, edited").write(document, read.entityTag);
  for (const auto& tag : {read.entityTag, std::optional(written)}) {
    std::filesystem::remove(folder / "elsewhere.svgquarvel");
    std::filesystem::rename(document, folder / "moved.svgquarvel");
    std::filesystem::create_symlink("elsewhere.svgquarvel", document);
    FileWrapper::regularFile("for one colleague, edited again").write(document, tag, true);
    ASSERT_EQ(::stat((folder / "elsewhere.svgquarvel").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 070, 0u) << std::oct << (info.st_mode & 07777);
    std::filesystem::remove(document);
    std::filesystem::rename(folder / "moved.svgquarvel", document);
  }
}

// Overwriting at the user's word through a link that took the document's name replaces the file
// the link leads to: it stays its owner's and its group's, and holds the text with the permissions
// of the version read, as far as the version read let them in. A file there that belongs to someone
// who could not open the document is not given it, even by an administrator; another group gets
// nothing. A writer who cannot give it its owner is refused as on any save of another user's file.
TEST(DocumentFileTests, OverwritingThroughANewLinkKeepsTheOwnerThereAndTheTextPrivate) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of other users need an administrator to set up";
  const auto folder = std::filesystem::temp_directory_path() / ("quarvel-link-owner-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "theirs");
  struct Remove {
    std::filesystem::path path;
    ~Remove() { std::filesystem::remove_all(path); }
  } remove{folder};
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  ASSERT_EQ(::chmod((folder / "theirs").c_str(), 0777), 0);
  const auto document = folder / "mine.svgquarvel";
  const auto other = folder / "theirs" / "notes.svgquarvel";
  auto readAs = [&](uid_t owner, gid_t group, mode_t mode) {
    std::error_code ignored;
    std::filesystem::remove(document, ignored);
    writeFile(document, "mine");
    EXPECT_EQ(::chown(document.c_str(), owner, group), 0);
    EXPECT_EQ(::chmod(document.c_str(), mode), 0);
    return FileWrapper::fromURL(document);
  };
  auto linkTo = [&](uid_t owner, gid_t group) {
    writeFile(other, "their notes");
    EXPECT_EQ(::chown(other.c_str(), owner, group), 0);
    EXPECT_EQ(::chmod(other.c_str(), 0664), 0);
    std::filesystem::remove(document);
    std::filesystem::create_symlink(other, document);
  };
  struct stat info {};

  // The administrator's private document, and a link to a file of the user 4311: refused.
  auto read = readAs(0, 0, 0600);
  linkTo(4311, 4310);
  try {
    FileWrapper::regularFile("mine, edited").write(document, read.entityTag, true);
    ADD_FAILURE() << "the document was given to the user 4311";
  } catch (const CocoaError& error) {
    EXPECT_EQ(std::string(error.what()),
              "The file \u201cmine.svgquarvel\u201d couldn\u2019t be saved because its name is now a symbolic link "
              "to \u201c" + other.string() + "\u201d, which belongs to the user 4311: written there, the document "
              "would be the user 4311\u2019s to open. Nothing was changed. Save your version under another name with "
              "Save As.");
  }
  EXPECT_EQ(readFile(other), "their notes");
  ASSERT_EQ(::stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4311u);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
  EXPECT_EQ(entriesIn(folder / "theirs"), 1u) << "a temporary file was left";

  // A file of the writer's in another group: the text is written, closed to that group.
  read = readAs(0, 0, 0640);
  linkTo(0, 4310);
  const bool attributes = ::setxattr(other.c_str(), "user.note", "kept", 4, 0) == 0;
  FileWrapper::regularFile("mine, edited").write(document, read.entityTag, true);
  EXPECT_EQ(readFile(other), "mine, edited");
  EXPECT_TRUE(std::filesystem::is_symlink(document));
  ASSERT_EQ(::stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_gid, 4310u);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  if (attributes) {
    char value[8] = {};
    EXPECT_LT(::getxattr(other.c_str(), "user.note", value, sizeof value), 0) << "an attribute of the file there";
  }

  // The version read's own owner and group keep what it gave them.
  read = readAs(4311, 4310, 0640);
  linkTo(4311, 4310);
  FileWrapper::regularFile("theirs, edited").write(document, read.entityTag, true);
  EXPECT_EQ(readFile(other), "theirs, edited");
  ASSERT_EQ(::stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4311u);
  EXPECT_EQ(info.st_gid, 4310u);
  EXPECT_EQ(info.st_mode & 07777, 0640u) << std::oct << (info.st_mode & 07777);

  // A member of the file's group, who may write it but not give a new file its owner, is refused.
  read = readAs(4311, 4310, 0660);
  linkTo(4311, 4310);
  const std::string said =
      saidSavingAsAGroupMember([&] { FileWrapper::regularFile("mine, edited").write(document, read.entityTag, true); });
  EXPECT_EQ(said,
            "The file \u201cmine.svgquarvel\u201d couldn\u2019t be saved because it belongs to the user 4311: a "
            "new version saved by you would belong to you, and the user 4311 might no longer be able to open it. "
            "Save your version under another name with Save As, or ask the user 4311 to save it.");
  EXPECT_EQ(readFile(other), "their notes");
  ASSERT_EQ(::stat(other.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4311u);
  EXPECT_EQ(entriesIn(folder / "theirs"), 1u) << "a temporary file was left";
}

// A save that cannot keep who may open the file says why: another user's file, and a mount point.
TEST(DocumentFileTests, ASaveThatWouldChangeWhoMayOpenTheFileOrCannotReplaceItSaysWhy) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of other users need an administrator to set up";
  // A folder that the other user reaches and may write in.
  const auto folder = std::filesystem::temp_directory_path() / ("quarvel-owners-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  struct Remove {
    std::filesystem::path path;
    ~Remove() { std::filesystem::remove_all(path); }
  } remove{folder};
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  const auto shared = folder / "shared.svgquarvel";
  writeFile(shared, "theirs");
  ASSERT_EQ(::chown(shared.c_str(), 4311, 4310), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0660), 0);
  // A member of the file's group saves it.
  const std::string said = saidSavingAsAGroupMember([&] { FileWrapper::regularFile("mine").write(shared); });
  EXPECT_EQ(said,
            "The file \u201cshared.svgquarvel\u201d couldn\u2019t be saved because it belongs to the user 4311: a "
            "new version saved by you would belong to you, and the user 4311 might no longer be able to open it. "
            "Save your version under another name with Save As, or ask the user 4311 to save it.");
  EXPECT_EQ(readFile(shared), "theirs");
  struct stat info {};
  ASSERT_EQ(::stat(shared.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4311u);

  // A file another is mounted on.
  const auto mounted = folder / "mounted.svgquarvel";
  writeFile(mounted, "old");
  if (::mount(shared.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "no file could be mounted here: " << std::strerror(errno);
  }
  std::string busy;
  try {
    FileWrapper::regularFile("new").write(mounted);
  } catch (const CocoaError& error) {
    busy = error.what();
  }
  ::umount2(mounted.c_str(), MNT_DETACH);
  EXPECT_EQ(busy,
            "The file \u201cmounted.svgquarvel\u201d couldn\u2019t be saved because another file system is mounted "
            "on it, and a mount point can\u2019t be replaced. Save it under another name with Save As, or unmount "
            "what is mounted there and save again.");
  EXPECT_EQ(readFile(mounted), "old");
  EXPECT_EQ(entriesIn(folder), 2u) << "a temporary file was left";
}

TEST(DocumentFileTests, ADrawingWhoseCodeWouldNotOpenAgainIsNotSavedAsSVG) {
  // A drawing of 120 KB whose code passes 64 MB: groups 250 levels deep, every line of theirs
  // indented 250 times. Opened as a file, it is refused; saved as one, too.
  std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
  for (int i = 0; i < 250; ++i) deep += "<g>";
  for (int i = 0; i < 30'000; ++i) deep += "<g/>";
  for (int i = 0; i < 250; ++i) deep += "</g>";
  deep += "</svg>";
  const auto document = Document::newDocument();
  try {
    document->fileWrapper(Snapshot{deep, "// edited\n", std::nullopt}, {UTType::svg(), std::nullopt});
    ADD_FAILURE() << "saved a drawing that does not open";
  } catch (const CocoaError& error) {
    EXPECT_EQ(std::string(error.what()),
              "The document couldn\u2019t be saved because the Swift code of its drawing would have more than 64 MB "
              "(67108864 bytes); a file of SVG text whose code has more than 64 MB (67108864 bytes) couldn\u2019t "
              "be opened again.");
  }
  EXPECT_THROW(open(UTType::svg(), deep, "deep.svg"), CocoaError);
  // The document file holds it, and opens again; so does a drawing within the bound as SVG.
  const auto file = document->fileWrapper(Snapshot{deep, "//", std::nullopt}, {UTType::svgQuarvelDocument(), std::nullopt});
  EXPECT_NO_THROW(Document::fromConfiguration({UTType::svgQuarvelDocument(), file}));
  const auto drawing = document->fileWrapper(Snapshot{svgText, "//", std::nullopt}, {UTType::svg(), std::nullopt});
  EXPECT_EQ(drawing.regularFileContents(), svgText);
}

// A folder on the document's path that another program replaced with a symbolic link takes its
// name elsewhere as a link in the name's own place would: the save asks, naming where the name
// leads now, and Overwrite writes there no more openly than the version read, nor into a file of
// someone who could not open the document. A folder moved away with a link to it left behind still
// leads to the document's own file, which is saved as ever.
TEST(DocumentFileTests, AFolderOnThePathTurnedIntoALinkIsAChangeThatNamesWhereItLeads) {
  const auto folder = scratchDirectory();
  const auto mine = folder / "priv", theirs = folder / "att", empty = folder / "empty";
  std::filesystem::create_directories(mine);
  std::filesystem::create_directories(theirs);
  std::filesystem::create_directories(empty);
  const auto document = mine / "doc.svgquarvel";
  writeFile(document, "secret");
  ASSERT_EQ(::chmod(document.c_str(), 0600), 0);
  writeFile(theirs / "doc.svgquarvel", "theirs");
  ASSERT_EQ(::chmod((theirs / "doc.svgquarvel").c_str(), 0644), 0);
  const auto read = FileWrapper::fromURL(document);
  auto changedDetail = [&](const std::optional<std::string>& tag, const std::optional<std::string>& approved) {
    try {
      return FileWrapper::regularFile("secret, edited").write(document, tag, approved.has_value(), approved),
             std::string("written");
    } catch (const FileChangedError& error) {
      EXPECT_NE(std::string(error.what()).find(error.detail()), std::string::npos) << error.what();
      return error.detail();
    }
  };
  auto linkFolderTo = [&](const std::filesystem::path& place) {
    std::filesystem::remove(mine);
    std::filesystem::create_symlink(place, mine);
  };
  struct stat info {};

  // Moved away, a link to it left behind: the document's own file, unchanged, is saved as ever.
  std::filesystem::rename(mine, folder / "priv.old");
  std::filesystem::create_symlink("priv.old", mine);
  const auto saved = FileWrapper::regularFile("secret, saved").write(document, read.entityTag);
  EXPECT_EQ(readFile(folder / "priv.old" / "doc.svgquarvel"), "secret, saved");

  // Turned to another folder, where a file readable by all has the document's name.
  const std::string toTheirs = "A folder on its path now leads elsewhere, and its name to \u201c" +
                               (theirs / "doc.svgquarvel").string() +
                               "\u201d, another file: overwriting replaces that file.";
  for (const auto& tag : {read.entityTag, std::optional(saved)}) {
    linkFolderTo(theirs);
    EXPECT_EQ(changedDetail(tag, std::nullopt), toTheirs);
    EXPECT_EQ(readFile(theirs / "doc.svgquarvel"), "theirs");
    // An Overwrite that answered another question does not answer this one.
    EXPECT_EQ(changedDetail(tag, std::string()), toTheirs);
    linkFolderTo("priv.old");
  }
  linkFolderTo(theirs);
  const auto written = changedDetail(read.entityTag, toTheirs);
  EXPECT_EQ(written, "written");
  EXPECT_EQ(readFile(theirs / "doc.svgquarvel"), "secret, edited");
  ASSERT_EQ(::stat((theirs / "doc.svgquarvel").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << std::oct << (info.st_mode & 07777);
  EXPECT_EQ(entriesIn(theirs), 1u) << "a temporary file was left";

  // Turned to a folder where no file has the name: nothing is made there until the user says so.
  linkFolderTo(empty);
  EXPECT_EQ(changedDetail(read.entityTag, std::nullopt),
            "A folder on its path now leads elsewhere, and its name to \u201c" + (empty / "doc.svgquarvel").string() +
                "\u201d, where there is no file: overwriting makes one there.");
  EXPECT_EQ(entriesIn(empty), 0u);

  // A file there of another user, who could not open the document, is not given it.
  if (::geteuid() == 0) {
    linkFolderTo(theirs);
    writeFile(theirs / "doc.svgquarvel", "theirs");
    ASSERT_EQ(::chown((theirs / "doc.svgquarvel").c_str(), 4311, 4310), 0);
    ASSERT_EQ(::chmod((theirs / "doc.svgquarvel").c_str(), 0644), 0);
    try {
      FileWrapper::regularFile("secret, edited").write(document, read.entityTag, true, toTheirs);
      ADD_FAILURE() << "the document was given to the user 4311";
    } catch (const CocoaError& error) {
      EXPECT_EQ(std::string(error.what()),
                "The file \u201cdoc.svgquarvel\u201d couldn\u2019t be saved because a folder on its path now leads "
                "elsewhere, and its name to \u201c" + (theirs / "doc.svgquarvel").string() +
                "\u201d, which belongs to the user 4311: written there, the document would be the user 4311\u2019s "
                "to open. Nothing was changed. Save your version under another name with Save As.");
    }
    EXPECT_EQ(readFile(theirs / "doc.svgquarvel"), "theirs");
    ASSERT_EQ(::stat((theirs / "doc.svgquarvel").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
  }
}

// Another program that rewrites the file in place and puts its modification time back has still
// changed it (its size or its status change time tell): the save asks. The application's own save,
// access control list and attributes given to the new file included, is not asked about after.
TEST(DocumentFileTests, ARewriteInPlaceThatPutsTheModificationTimeBackIsAChange) {
  const auto folder = scratchDirectory();
  const auto document = folder / "doc.svgquarvel";
  writeFile(document, "mine, as read");
  (void)::setxattr(document.c_str(), "user.note", "kept", 4, 0);
  const std::string list = FileAttributesTestSupport::accessList(06, {{4242, 06}}, 0, 06, 0);
  (void)::setxattr(document.c_str(), "system.posix_acl_access", list.data(), list.size(), 0);
  auto rewriteKeepingTime = [&](const std::string& text) {
    struct stat before {};
    ASSERT_EQ(::stat(document.c_str(), &before), 0);
    // The clock that stamps files moves in ticks: the rewrite comes in a later one than the
    // version before it.
    auto later = [&] {
      struct timespec now {};
      ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
      return now.tv_sec > before.st_ctim.tv_sec ||
             (now.tv_sec == before.st_ctim.tv_sec && now.tv_nsec > before.st_ctim.tv_nsec);
    };
    while (!later()) std::this_thread::yield();
    {
      std::ofstream inPlace(document, std::ios::binary | std::ios::trunc);
      inPlace << text;
    }
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, document.c_str(), times, 0), 0);
    struct stat after {};
    ASSERT_EQ(::stat(document.c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    ASSERT_TRUE(after.st_ctim.tv_sec != before.st_ctim.tv_sec || after.st_ctim.tv_nsec != before.st_ctim.tv_nsec);
  };

  // Our own saves, one after the other, are never asked about.
  const auto read = FileWrapper::fromURL(document);
  auto tag = FileWrapper::regularFile("mine, saved").write(document, read.entityTag);
  tag = FileWrapper::regularFile("mine, saved again").write(document, tag);
  EXPECT_EQ(readFile(document), "mine, saved again");

  // Of another size.
  rewriteKeepingTime("theirs, of another size");
  EXPECT_THROW(FileWrapper::regularFile("lost?").write(document, tag), FileChangedError);
  EXPECT_EQ(readFile(document), "theirs, of another size");
  // Of the same size: the status change time alone tells.
  tag = *FileWrapper::fromURL(document).entityTag;
  rewriteKeepingTime("THEIRS, OF ANOTHER SIZE");
  EXPECT_THROW(FileWrapper::regularFile("lost?").write(document, tag), FileChangedError);
  EXPECT_EQ(readFile(document), "THEIRS, OF ANOTHER SIZE");
  EXPECT_EQ(entriesIn(folder), 1u) << "a temporary file was left";
}

// An identity noted before the file's size, times and place were (the device and inode end it)
// still holds the version read: the unchanged file is saved without asking, and one that another
// program replaced is asked about.
TEST(DocumentFileTests, AnIdentityNotedWithoutSizeTimesOrPlaceStillHoldsTheVersionRead) {
  const auto folder = scratchDirectory();
  const auto document = folder / "doc.svgquarvel";
  writeFile(document, "mine, as read");
  auto older = [](const std::string& tag) {
    const auto plus = tag.find('+'), mark = tag.rfind('#'), slash = tag.find('/', mark);
    return tag.substr(0, plus) + tag.substr(mark, slash - mark) + tag.substr(tag.size() - 1);
  };
  const auto tag = older(*FileWrapper::fromURL(document).entityTag);
  ASSERT_EQ(tag.find('+'), std::string::npos) << tag;
  ASSERT_EQ(tag.find('/'), std::string::npos) << tag;
  const auto saved = FileWrapper::regularFile("mine, saved").write(document, tag);
  EXPECT_EQ(readFile(document), "mine, saved");
  FileWrapper::regularFile("mine, saved again").write(document, saved);
  EXPECT_EQ(readFile(document), "mine, saved again");

  const auto again = older(*FileWrapper::fromURL(document).entityTag);
  writeFile(folder / "theirs", "theirs");
  std::filesystem::rename(folder / "theirs", document);
  EXPECT_THROW(FileWrapper::regularFile("lost?").write(document, again), FileChangedError);
  EXPECT_EQ(readFile(document), "theirs");
}

// A link that took the document's name and climbs out of its folder ("..") leads where the system
// follows it: from the folder the document's path reaches through a link, not from the link's own
// name. The question names that place, and Overwrite writes there.
TEST(DocumentFileTests, ALinkThatClimbsOutOfAFolderReachedThroughALinkIsNamedWhereItLeads) {
  const auto folder = scratchDirectory();
  const auto real = folder / "deep" / "sub";
  std::filesystem::create_directories(real);
  std::filesystem::create_directories(folder / "deep" / "x");
  std::filesystem::create_directories(folder / "x");
  std::filesystem::create_symlink(real, folder / "short");
  const auto document = folder / "short" / "doc.svgquarvel";
  writeFile(document, "mine");
  const auto read = FileWrapper::fromURL(document);
  std::filesystem::remove(real / "doc.svgquarvel");
  std::filesystem::create_symlink("../x/doc.svgquarvel", real / "doc.svgquarvel");
  const auto leadsTo = folder / "deep" / "x" / "doc.svgquarvel";
  const std::string detail = "Its name is now a symbolic link to \u201c" + leadsTo.string() +
                             "\u201d, where there is no file: overwriting makes one there.";
  try {
    FileWrapper::regularFile("mine, edited").write(document, read.entityTag);
    ADD_FAILURE() << "written without asking";
  } catch (const FileChangedError& error) {
    EXPECT_EQ(error.detail(), detail);
  }
  FileWrapper::regularFile("mine, edited").write(document, read.entityTag, true, detail);
  EXPECT_EQ(readFile(leadsTo), "mine, edited");
  EXPECT_FALSE(std::filesystem::exists(folder / "x" / "doc.svgquarvel"));
}

// A document whose name is a link that climbs out of its folder (".."), reached through a folder
// link, leads to its own file as long as nothing changes: it is saved again and again without
// asking.
TEST(DocumentFileTests, ALinkThatClimbsOutOfAFolderReachedThroughALinkIsSavedWithoutAsking) {
  const auto folder = scratchDirectory();
  std::filesystem::create_directories(folder / "deep" / "sub");
  std::filesystem::create_directories(folder / "deep" / "x");
  std::filesystem::create_symlink(folder / "deep" / "sub", folder / "short");
  writeFile(folder / "deep" / "x" / "doc.svgquarvel", "mine");
  std::filesystem::create_symlink("../x/doc.svgquarvel", folder / "deep" / "sub" / "doc.svgquarvel");
  const auto document = folder / "short" / "doc.svgquarvel";
  auto tag = *FileWrapper::fromURL(document).entityTag;
  for (const auto* text : {"saved", "saved again", "saved once more"}) {
    tag = FileWrapper::regularFile(text).write(document, tag);
    EXPECT_EQ(readFile(folder / "deep" / "x" / "doc.svgquarvel"), text);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "deep" / "sub" / "doc.svgquarvel"));
}
