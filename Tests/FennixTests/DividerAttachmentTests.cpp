#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DefaultsTestSupport.h"
#include "Fennix/Foundation/UserDefaults.h"
#include "Fennix/UI/AppKit/DividerTextAttachment.h"

namespace {

using Type = NSPasteboard::PasteboardType;

// A cell that is no divider: an outlined box.
struct BoxCell : NSTextAttachmentCell {
  NSTextAttachmentFrame cellFrame(const NSTextAttachmentFrame& proposed, double) const override {
    return {proposed.x, 0, 10, 10};
  }
  std::vector<NSTextAttachmentStroke> draw(const NSTextAttachmentFrame&) const override { return {}; }
};

TEST(DividerAttachmentTests, OneSharedDividerThatCopiesAsARule) {
  const auto divider = QvDividerTextAttachment::make();
  EXPECT_EQ(QvDividerTextAttachment::make(), divider);
  EXPECT_TRUE(QvDividerTextAttachment::isEqual(divider.get()));
  const NSTextAttachment plain;
  EXPECT_FALSE(QvDividerTextAttachment::isEqual(&plain));
  EXPECT_FALSE(QvDividerTextAttachment::isEqual(nullptr));

  const std::string rule = "──────────";
  EXPECT_EQ(divider->writableTypes(), (std::vector<Type>{Type::qvDivider(), Type::string()}));
  EXPECT_EQ(divider->pasteboardPropertyList(Type::string()), rule);
  EXPECT_EQ(divider->pasteboardPropertyList(Type::qvDivider()), rule);
  EXPECT_EQ(divider->pasteboardPropertyList(Type{"image/png"}), std::nullopt);
  EXPECT_EQ(Type::qvDivider().rawValue, "org.quarvel.text.divider");

  // Only the divider type reads back as a divider, whatever the data.
  EXPECT_NE(QvTextDividerPBItem::fromPasteboardPropertyList("anything", Type::qvDivider()), nullptr);
  EXPECT_EQ(QvTextDividerPBItem::fromPasteboardPropertyList(rule, Type::string()), nullptr);
  auto item = std::make_shared<QvTextDividerPBItem>();
  EXPECT_EQ(item->copy(), item);

  // An attachment of data sets no divider cell; asked for its cell, it has the plain one, made once,
  // which takes the text system's one-point placeholder and draws nothing. It copies as a divider,
  // asked before or after its cell, and so it does with a cell of any other kind.
  QvDividerTextAttachment data(std::string("bytes"), std::string("public.data"));
  EXPECT_EQ(data.pasteboardPropertyList(Type::string()), rule);
  EXPECT_EQ(data.pasteboardPropertyList(Type::qvDivider()), rule);
  EXPECT_EQ(data.pasteboardPropertyList(Type{"image/png"}), std::nullopt);
  const std::shared_ptr<NSTextAttachmentCell> plainCell = data.attachmentCell();
  ASSERT_NE(plainCell, nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<QvDividerTextAttachment::Cell>(plainCell), nullptr);
  EXPECT_EQ(data.attachmentCell(), plainCell);
  EXPECT_EQ(plainCell->cellFrame({12, 40, 300, 17}, 5), (NSTextAttachmentFrame{12, 0, 1, 1}));
  EXPECT_TRUE(plainCell->draw({0, 0, 300, 11}).empty());
  data.setAttachmentCell(std::make_shared<BoxCell>());
  EXPECT_EQ(data.pasteboardPropertyList(Type::string()), rule);
  EXPECT_EQ(data.pasteboardPropertyList(Type{"image/png"}), std::nullopt);
  // A cell set to none is a plain cell again on the next access, never an empty one.
  data.setAttachmentCell(nullptr);
  ASSERT_NE(data.attachmentCell(), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<BoxCell>(data.attachmentCell()), nullptr);
  EXPECT_EQ(data.pasteboardPropertyList(Type::qvDivider()), rule);
  // A plain attachment has the plain cell too, and still copies as nothing.
  const NSTextAttachment image(std::string("png"), std::string("public.png"));
  ASSERT_NE(image.attachmentCell(), nullptr);
  EXPECT_EQ(image.pasteboardPropertyList(Type::string()), std::nullopt);

  auto replacement = std::make_shared<QvDividerTextAttachment>();
  QvDividerTextAttachment::setShared(replacement);
  EXPECT_EQ(QvDividerTextAttachment::make(), replacement);
  QvDividerTextAttachment::setShared(divider);
}

TEST(DividerAttachmentTests, TheCellDrawsOneLineAcrossTheLineFragment) {
  const QvDividerTextAttachment::Cell cell;
  const NSTextAttachmentFrame frame = cell.cellFrame({12, 40, 300, 17}, 5);
  EXPECT_EQ(frame, (NSTextAttachmentFrame{12, 0, 290, 11}));
  const auto strokes = cell.draw({10, 20, 100, 11});
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_DOUBLE_EQ(strokes[0].fromY, 26);
  EXPECT_DOUBLE_EQ(strokes[0].toY, 26);
  EXPECT_DOUBLE_EQ(strokes[0].fromX, 10);
  EXPECT_DOUBLE_EQ(strokes[0].toX, 110);
}

// Observers of the cell are told only while their tokens live, even when another observer of the
// same change releases them; one that releases its own token finishes its run.
TEST(DividerAttachmentTests, CellObserversAreToldOnlyWhileTheirTokensLive) {
  NSTextAttachment attachment;
  std::vector<std::string> told;
  std::shared_ptr<void> first, second, third;
  first = attachment.observeCellChanges([&] {
    told.push_back("first");
    second.reset();
  });
  second = attachment.observeCellChanges([&] { told.push_back("second"); });
  third = attachment.observeCellChanges([&, kept = std::string("third")] {
    third.reset();
    told.push_back(kept);
  });
  // Come during a change, told from the next one on.
  std::shared_ptr<void> late;
  auto lateComer = attachment.observeCellChanges([&] {
    if (!late) late = attachment.observeCellChanges([&] { told.push_back("late"); });
  });

  attachment.setAttachmentCell(std::make_shared<NSTextAttachmentCell>());
  EXPECT_EQ(told, (std::vector<std::string>{"first", "third"}));
  told.clear();
  attachment.setAttachmentCell(nullptr);
  EXPECT_EQ(told, (std::vector<std::string>{"first", "late"}));
}

// Observers that come and go keep the list short: with a few left, many passing ones take a
// bounded room, also after a change has cleared away those that were gone.
TEST(DividerAttachmentTests, PassingCellObserversKeepTheListShort) {
  NSTextAttachment attachment;
  std::vector<std::shared_ptr<void>> crowd;
  for (int i = 0; i < 1000; ++i) crowd.push_back(attachment.observeCellChanges([] {}));
  crowd.resize(3);
  attachment.setAttachmentCell(nullptr);
  EXPECT_EQ(attachment.cellObserverSlotsForTesting(), 3u);
  std::size_t most = 0;
  for (int i = 0; i < 5000; ++i) {
    auto passing = attachment.observeCellChanges([] {});
    most = std::max(most, attachment.cellObserverSlotsForTesting());
    if (i % 1000 == 0) attachment.setAttachmentCell(nullptr);
  }
  // Room for twice those alive at the last clearing (the crowd and one passing) and a few more.
  EXPECT_LE(most, 2 * (crowd.size() + 1) + 16);
  int calls = 0;
  crowd.push_back(attachment.observeCellChanges([&] { ++calls; }));
  attachment.setAttachmentCell(nullptr);
  EXPECT_EQ(calls, 1);
}

TEST(DividerAttachmentTests, ThePlainFormIsReadOnceFromTheDefaults) {
  FennixTestSupport::temporaryUserDirectories();
  auto defaults = NSUserDefaults::standard();
  ASSERT_TRUE(defaults);
  defaults->set("~~~", "QvDividerPlainStringRepresentation");
  EXPECT_EQ(QvDividerTextAttachment::make()->plainStringRepresentation(), "~~~");
  defaults->set("===", "QvDividerPlainStringRepresentation");
  EXPECT_EQ(QvDividerTextAttachment::plainStringRepresentationStatic(), "~~~");
  defaults->removeObject("QvDividerPlainStringRepresentation");
}

}  // namespace
