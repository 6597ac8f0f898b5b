#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using Config = SVGQuarvelConfiguration;
using Document = SVGQuarvelDocument;
using namespace QuarvelTestSupport;

namespace {

const std::string svgText = "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle r=\"3\"/></svg>";

std::shared_ptr<Document> open(const UTType& type, const std::string& contents,
                               std::optional<std::string> filename = std::nullopt) {
  FileWrapper file = FileWrapper::regularFile(contents);
  file.filename = std::move(filename);
  return Document::fromConfiguration({type, file});
}

int readErrorCode(const UTType& type, const FileWrapper& file) {
  try {
    Document::fromConfiguration({type, file});
  } catch (const CocoaError& error) {
    return error.code();
  }
  return 0;
}

class DocumentFileTests : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::setDefaultConfig(Config());
    console_ = std::make_unique<CapturedConsole>();
  }
  void TearDown() override { console_.reset(); }
  std::unique_ptr<CapturedConsole> console_;
};

}  // namespace

TEST_F(DocumentFileTests, SnapshotJSONIsCompactInKeyOrderWithEscapedSlashes) {
  Config config;
  config.rootViewName = "A/B";
  const Document::Snapshot snapshot{"<a href=\"x/y\">\n\t\"é\"</a>", "// ok\n", config};
  EXPECT_EQ(snapshot.jsonString(),
            R"({"svg":"<a href=\"x\/y\">\n\t\"é\"<\/a>","swift":"\/\/ ok\n","config":{"rootViewName":"A\/B",)"
            R"("indentUsing":" ","indent":2,"indentEmptyLines":false,"prefixSVG":true,"infoComments":true,)"
            R"("previewProvider":true,"imports":true,"newlineAfterClosePath":true,"initType":"type",)"
            R"("positioningType":"padding","maximumFractionDigits":4,"useHexColor":false}})");
  EXPECT_EQ(Document::Snapshot::fromJSONString(snapshot.jsonString()), snapshot);
  EXPECT_EQ((Document::Snapshot{"s", "w", std::nullopt}).jsonString(), R"({"svg":"s","swift":"w"})");
  EXPECT_THROW((Document::Snapshot{"\xff", "", std::nullopt}).jsonString(), CocoaError);

  // Any key order, other keys ignored, a null config is none.
  EXPECT_EQ(Document::Snapshot::fromJSONString(R"({"x":[[[]]],"config":null,"swift":"w","svg":"s"})"),
            (Document::Snapshot{"s", "w", std::nullopt}));
  for (const char* damaged : {R"({"svg":"s"})", R"({"svg":1,"swift":"w"})", "[]", "{", "", "\"svg\""}) {
    EXPECT_THROW(Document::Snapshot::fromJSONString(damaged), Document::DecodingError) << damaged;
  }
  // Deep nesting is no danger.
  EXPECT_THROW(Document::Snapshot::fromJSONString(std::string(100000, '[')), Document::DecodingError);
  EXPECT_EQ(Document::Snapshot::fromJSONString(R"({"svg":"s","swift":"w","deep":)" + std::string(100000, '[') +
                                               std::string(100000, ']') + "}")
                .svg,
            "s");
}

TEST_F(DocumentFileTests, DocumentFilesReopenWithTheirTextsAndTheDefaultSettings) {
  auto document = Document::fromSVGString(svgText, "");
  document->swift = "// edited\n";
  Config saved;
  saved.indent = 7;
  document->config = saved;  // also the default now
  const auto file = document->fileWrapper(document->snapshot(UTType::svgQuarvelDocument()),
                                          {UTType::svgQuarvelDocument(), std::nullopt});
  ASSERT_TRUE(file.regularFileContents());
  EXPECT_EQ(Document::Snapshot::fromJSONString(*file.regularFileContents()).config, saved);

  Config::setDefaultConfig(Config());
  auto reopened = open(UTType::svgQuarvelDocument(), *file.regularFileContents());
  EXPECT_EQ(reopened->svgString.get(), svgText);
  EXPECT_EQ(reopened->swift.get(), "// edited\n");
  EXPECT_EQ(reopened->config.get(), Config());
  EXPECT_EQ(reopened->generatedSwift.get(), Document::export_(svgText, Config()).code);
  EXPECT_TRUE(reopened->isSwiftModified());
  EXPECT_FALSE(reopened->rebuildFailed.get());

  // Settings that cannot be read (damaged, or from a newer version) never lock the texts away.
  console_->clear();
  auto damaged = open(UTType::svgQuarvelDocument(), R"({"svg":"<svg","swift":"kept","config":{"indent":2}})");
  EXPECT_EQ(damaged->swift.get(), "kept");
  EXPECT_TRUE(damaged->rebuildFailed.get());
  EXPECT_EQ(damaged->generatedSwift.get(), "// Could not parse SVG\n");
  EXPECT_NE(console_->out().find("WARN:  ignoring the settings of the document, they could not be read: keyNotFound"),
            std::string::npos);
}

TEST_F(DocumentFileTests, SVGAndSwiftContentOpenAndSaveAsThemselves) {
  auto fromSVG = open(UTType::svg(), svgText, "drawing.svg");
  EXPECT_EQ(fromSVG->svgString.get(), svgText);
  EXPECT_EQ(fromSVG->swift.get(), Document::Snapshot::fromSVGString(svgText, std::nullopt, Config()).swift);
  EXPECT_TRUE(fromSVG->isSwiftModified());  // saved code has no SVG comment, fresh code has

  auto unparsable = open(UTType::svg(), "<svg", "bad\nname.svg");
  EXPECT_EQ(unparsable->swift.get(), "// Could not parse SVG bad name.svg\n");
  EXPECT_TRUE(unparsable->rebuildFailed.get());

  auto fromSwift = open(UTType::swiftSource(), "struct A {}\n");
  EXPECT_EQ(fromSwift->svgString.get(), "<!-- No SVG -->");
  EXPECT_EQ(fromSwift->swift.get(), "struct A {}\n");

  const auto snapshot = fromSwift->snapshot(UTType::svg());
  EXPECT_EQ(fromSwift->fileWrapper(snapshot, {UTType::svg(), std::nullopt}).regularFileContents(), "<!-- No SVG -->");
  EXPECT_EQ(fromSwift->fileWrapper(snapshot, {UTType::swiftSource(), std::nullopt}).regularFileContents(),
            "struct A {}\n");
  EXPECT_EQ(fromSwift->fileWrapper(snapshot, {UTType::svgQuarvelDocument(), std::nullopt}).regularFileContents(),
            snapshot.jsonString());

  EXPECT_EQ(Document::readableContentTypes(), std::vector<UTType>{UTType::svgQuarvelDocument()});
  EXPECT_EQ(Document::writableContentTypes(),
            (std::vector<UTType>{UTType::svgQuarvelDocument(), UTType::svg(), UTType::swiftSource()}));
  EXPECT_EQ(UTType::svgQuarvelDocument().identifier(), "org.quarvel.quarvel.svg.doc");
  EXPECT_EQ(UTType::fromFilenameExtension("SVG"), UTType::svg());
}

TEST_F(DocumentFileTests, UnreadableFilesFailWithClearErrors) {
  EXPECT_EQ(readErrorCode(UTType::svgQuarvelDocument(), FileWrapper::directory()), CocoaError::fileReadCorruptFile);
  EXPECT_EQ(console_->err().rfind("ERROR: could not access file data: ReadConfiguration(contentType: ", 0), 0u);

  console_->clear();
  EXPECT_EQ(readErrorCode(UTType("public.png"), FileWrapper::regularFile("")), CocoaError::fileReadCorruptFile);
  EXPECT_EQ(console_->err(), "ERROR: unexpected file type: public.png size: #0 bytes <nil>\n");

  EXPECT_EQ(readErrorCode(UTType::svg(), FileWrapper::regularFile("<svg>\xC3</svg>")), CocoaError::fileReadCorruptFile);
  EXPECT_EQ(readErrorCode(UTType::swiftSource(), FileWrapper::regularFile("\xED\xA0\x80")),
            CocoaError::fileReadCorruptFile);
  EXPECT_THROW(open(UTType::svgQuarvelDocument(), R"({"svg":"s"})"), Document::DecodingError);
}

TEST_F(DocumentFileTests, FilesAreWrittenAtomicallyAndReadWithTheirEncoding) {
  const auto folder = scratchDirectory();
  const auto path = folder / "doc.svgquarvel";
  writeFile(path, "old");
  ::chmod(path.c_str(), 0640);
  FileWrapper::regularFile("new contents").write(path);
  EXPECT_EQ(readFile(path), "new contents");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no temporary left

  try {
    FileWrapper::regularFile("x").write(folder / "missing" / "doc.svgquarvel");
    ADD_FAILURE() << "no error";
  } catch (const CocoaError& error) {
    EXPECT_EQ(error.code(), CocoaError::fileNoSuchFile);
  }
  EXPECT_THROW(FileWrapper::directory().write(path), CocoaError);
  EXPECT_EQ(readFile(path), "new contents");

  const auto read = FileWrapper::fromURL(path);
  EXPECT_EQ(read.regularFileContents(), "new contents");
  EXPECT_EQ(read.filename, "doc.svgquarvel");
  EXPECT_TRUE(FileWrapper::fromURL(folder).isDirectory());

  // Byte-order marks select the encoding; other text must be UTF-8.
  writeFile(folder / "bom8.svg", "\xEF\xBB\xBF<s>");
  writeFile(folder / "le16.svg", std::string("\xFF\xFE<\0\xE9\0=\xD8\x00\xDE", 10));
  writeFile(folder / "be32.svg", std::string("\0\0\xFE\xFF\0\0\0<", 8));
  writeFile(folder / "latin1.svg", "caf\xE9");
  EXPECT_EQ(readTextFileDetectingEncoding(folder / "bom8.svg"), "<s>");
  EXPECT_EQ(readTextFileDetectingEncoding(folder / "le16.svg"), "<\u00E9\U0001F600");
  EXPECT_EQ(readTextFileDetectingEncoding(folder / "be32.svg"), "<");
  auto codeOf = [](const std::filesystem::path& file) {
    try {
      readTextFileDetectingEncoding(file);
    } catch (const CocoaError& error) {
      return static_cast<int>(error.code());
    }
    return 0;
  };
  EXPECT_EQ(codeOf(folder / "latin1.svg"), CocoaError::fileReadUnknownStringEncoding);
  EXPECT_EQ(codeOf(folder / "none.svg"), CocoaError::fileReadNoSuchFile);
  ASSERT_EQ(::mkfifo((folder / "pipe.svg").c_str(), 0600), 0);
  EXPECT_EQ(codeOf(folder / "pipe.svg"), CocoaError::fileReadUnknown);  // refused, not waited on
}
