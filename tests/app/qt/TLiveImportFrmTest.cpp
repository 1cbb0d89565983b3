#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ULiveImportFrm.h"

namespace {

TEST(LiveImportFrm, ShowsTitledWindowAndClosesOnEscape) {
    qm::TLiveImportFrm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillmark"));
    EXPECT_FALSE(form.windowIcon().isNull());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
