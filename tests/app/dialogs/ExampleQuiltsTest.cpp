#include "app/dialogs/ExampleQuilts.h"
#include "app/dialogs/ChooseMapAll.h"

#include <QCheckBox>
#include <QTest>

#include <gtest/gtest.h>

namespace zarn::app {
namespace {

TEST(ExampleQuiltsTest, PictureArrivesInTheBackgroundAndIsKept) {
    // A family no dialog shows, so no other test has asked for it.
    const ExampleKey key{MapFamily::T, false};
    ExamplePicture button(key);
    EXPECT_FALSE(button.hasPicture()) << "the placeholder stands until the picture is ready";
    EXPECT_TRUE(button.icon().isNull());
    QTRY_VERIFY_WITH_TIMEOUT(button.hasPicture(), 30000);
    EXPECT_FALSE(button.icon().isNull());

    const QImage cached = ExampleQuilts::instance().picture(key);
    ASSERT_FALSE(cached.isNull()) << "asked again, the picture is there at once";
    EXPECT_GT(cached.width(), 0);
    ExamplePicture second(key);
    EXPECT_TRUE(second.hasPicture());
}

TEST(ExampleQuiltsTest, ChooseMapPictureFollowsTheChoice) {
    ChooseMapValues values;
    values.family = MapFamily::Square;
    ChooseMapAll dialog(values);
    auto* picture = dialog.findChild<ExamplePicture*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->key(), (ExampleKey{MapFamily::Square, false}));
    dialog.familyButton(MapFamily::Hex)->click();
    EXPECT_EQ(picture->key(), (ExampleKey{MapFamily::Hex, false}));
    qobject_cast<QCheckBox*>(dialog.field(QStringLiteral("Use Detailed Hex Map")))->click();
    EXPECT_EQ(picture->key(), (ExampleKey{MapFamily::Hex, true}));
}

} // namespace
} // namespace zarn::app
