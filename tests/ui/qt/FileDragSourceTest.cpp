#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <stdexcept>

#include "UErrors.h"
#include "UFileDragSource.h"

namespace {

// What a drag looked like to the platform's drag loop.
struct TSeenDrag {
    QList<QUrl> Urls;
    QStringList Formats;
    Qt::DropActions Allowed;
    QSize ImageSize;
    QPoint HotSpot;
};

class FileDragSource : public ::testing::Test {
protected:
    // A drag loop that records the drag and answers with `performed`.
    void AnswerWith(Qt::DropAction performed) {
        Source.SetDragRunner([this, performed](QDrag& drag, Qt::DropActions allowed) {
            Seen.Urls = drag.mimeData()->urls();
            Seen.Formats = drag.mimeData()->formats();
            Seen.Allowed = allowed;
            Seen.ImageSize = drag.pixmap().size();
            Seen.HotSpot = drag.hotSpot();
            return performed;
        });
    }

    QWidget Widget;
    qm::TFileDragSource Source{Widget};
    TSeenDrag Seen;
};

TEST_F(FileDragSource, OffersTheFileUrlForCopyOnly) {
    Source.SetFiles({QStringLiteral("/tmp/CVTempDir/Max Muster Firma.vcf")});
    AnswerWith(Qt::CopyAction);
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drDropCopy);
    EXPECT_EQ(Seen.Urls, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/CVTempDir/Max Muster Firma.vcf"))});
    EXPECT_TRUE(Seen.Formats.contains(QStringLiteral("text/uri-list")));
    EXPECT_EQ(Seen.Allowed, Qt::DropActions(Qt::CopyAction));
    EXPECT_TRUE(Seen.ImageSize.isEmpty());
    EXPECT_FALSE(Source.Dragging());
}

TEST_F(FileDragSource, ACancelledDragOrADisallowedEffectIsCancelled) {
    Source.SetFiles({QStringLiteral("/tmp/a.png")});
    AnswerWith(Qt::IgnoreAction);
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drCancel);
    AnswerWith(Qt::MoveAction);
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drCancel);
}

TEST_F(FileDragSource, AllowedEffectsFollowTheDragTypes) {
    Source.SetDragTypes(qm::dtCopy | qm::dtMove | qm::dtLink | 8);
    EXPECT_EQ(Source.DragTypes(), qm::dtCopy | qm::dtMove | qm::dtLink);
    AnswerWith(Qt::MoveAction);
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drDropMove);
    EXPECT_EQ(Seen.Allowed, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
}

TEST_F(FileDragSource, RefusesASecondDragWhileOneRuns) {
    std::string refusal;
    Source.SetDragRunner([this, &refusal](QDrag&, Qt::DropActions) {
        EXPECT_TRUE(Source.Dragging());
        try {
            Source.StartDrag();
        } catch (const qm::EQuillmarkError& e) {
            refusal = e.what();
        }
        return Qt::CopyAction;
    });
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drDropCopy);
    EXPECT_EQ(refusal, "A drag and drop operation is already in progress");
    EXPECT_FALSE(Source.Dragging());
}

TEST_F(FileDragSource, AFailingDragLoopLeavesTheSourceIdle) {
    Source.SetDragRunner([](QDrag&, Qt::DropActions) -> Qt::DropAction { throw std::runtime_error("loop"); });
    EXPECT_THROW(Source.StartDrag(), std::runtime_error);
    EXPECT_FALSE(Source.Dragging());
    AnswerWith(Qt::CopyAction);
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drDropCopy);
}

TEST_F(FileDragSource, TheDragImageIsTheGraphicBoundedByATenthOfTheScreen) {
    const int limit = QGuiApplication::primaryScreen()->geometry().width() / 10;
    QPixmap graphic(454, 454);
    graphic.fill(Qt::black);
    Source.ShowImage = true;
    Source.OnGetDragImage = [&graphic](qm::TFileDragSource& source, QDrag& drag, bool& handled) {
        qm::SetDragImageFromGraphic(source, graphic, drag, handled);
    };
    AnswerWith(Qt::CopyAction);
    Source.StartDrag();
    const int side = std::min(454, limit);
    EXPECT_EQ(Seen.ImageSize, QSize(side, side));
    EXPECT_EQ(Seen.HotSpot, QPoint(side, 16));

    graphic = QPixmap(limit / 2, limit / 3);
    graphic.fill(Qt::black);
    Source.StartDrag();
    EXPECT_EQ(Seen.ImageSize, QSize(limit / 2, limit / 3));
    EXPECT_EQ(Seen.HotSpot, QPoint(limit / 2, 16));
}

TEST_F(FileDragSource, TheDragImageShowsTheGraphicStretched) {
    QPixmap graphic(4, 4);
    graphic.fill(Qt::black);
    QDrag drag(&Widget);
    bool handled = false;
    qm::SetDragImageFromGraphic(Source, graphic, drag, handled);
    ASSERT_TRUE(handled);
    const QImage image = drag.pixmap().toImage();
    EXPECT_EQ(image.size(), QSize(4, 4));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::black));
}

TEST_F(FileDragSource, WithoutAnImageTheDragRunsWithoutOne) {
    Source.ShowImage = true;
    Source.OnGetDragImage = [](qm::TFileDragSource& source, QDrag& drag, bool& handled) {
        qm::SetDragImageFromGraphic(source, QPixmap(), drag, handled);
    };
    AnswerWith(Qt::CopyAction);
    EXPECT_EQ(Source.StartDrag(), qm::TDragResult::drDropCopy);
    EXPECT_TRUE(Seen.ImageSize.isEmpty());
}

}  // namespace
