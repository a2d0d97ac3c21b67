#include "assistant/AttachmentImageProvider.h"
#include "assistant/AttachmentListModel.h"
#include "assistant/AttachmentThumbnails.h"

#include <QAbstractItemModelTester>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class AttachmentListModelTest : public QObject {
    Q_OBJECT

    QHash<QChar, ChatAttachment> m_byLetter;
    std::unique_ptr<AttachmentListModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    // One attachment per letter, the same letter always the same attachment.
    QList<ChatAttachment> attachments(const QString& letters) {
        QList<ChatAttachment> list;
        for (QChar letter : letters) {
            if (!m_byLetter.contains(letter)) {
                QImage thumbnail(8, 8, QImage::Format_RGB32);
                thumbnail.fill(QColor::fromHsv(letter.unicode() * 20 % 360, 200, 200));
                m_byLetter.insert(letter, ChatAttachment::make({}, thumbnail));
            }
            list.append(m_byLetter.value(letter));
        }
        return list;
    }
    QString letters() const {
        QString shown;
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QUuid id(m_model->index(row).data(AttachmentListModel::IdRole).toString());
            for (const auto& [letter, attachment] : m_byLetter.asKeyValueRange())
                shown += attachment.id == id ? QString(letter) : QString();
        }
        return shown;
    }
    // The events are the rows inserted, removed and moved, and the resets.
    static void change(const char* tag, const char* before, const char* after,
                       QList<qsizetype> events) {
        QTest::newRow(tag) << QString(before) << QString(after) << events;
    }

private slots:
    void init() {
        m_model = std::make_unique<AttachmentListModel>();
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void cleanup() {
        m_tester.reset();
        m_model.reset();
        m_byLetter.clear();
        QCOMPARE(AttachmentThumbnails::shared().size(), 0);
    }
    void changes_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QList<qsizetype>>("events");
        change("first paste", "", "a", {1, 0, 0, 0});
        change("remove the middle one", "abcd", "acd", {0, 1, 0, 0});
        change("sent: all gone", "abcd", "", {0, 4, 0, 0});
        change("same list", "ab", "ab", {0, 0, 0, 0});
        change("returned after a failure", "c", "abc", {2, 0, 0, 0});
        change("reordered", "abc", "cab", {0, 0, 1, 0});
        change("all replaced", "ab", "cd", {0, 0, 0, 1});
        change("a repeated attachment is one row", "b", "aba", {1, 0, 0, 0});
    }
    void changes() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QList<qsizetype>, events);
        m_model->setAttachments(attachments(before));
        QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted),
            removed(m_model.get(), &QAbstractItemModel::rowsRemoved),
            moved(m_model.get(), &QAbstractItemModel::rowsMoved),
            reset(m_model.get(), &QAbstractItemModel::modelReset);
        QSignalSpy countSpy(m_model.get(), &AttachmentListModel::countChanged);
        m_model->setAttachments(attachments(after));
        QString shown;
        for (QChar letter : after)
            shown += shown.contains(letter) ? QString() : QString(letter);
        QCOMPARE(letters(), shown);
        QCOMPARE((QList<qsizetype>{inserted.size(), removed.size(), moved.size(), reset.size()}),
                 events);
        QCOMPARE(countSpy.size(), before.size() == shown.size() ? 0 : 1);
        // Exactly the thumbnails of the rows shown are served.
        QCOMPARE(AttachmentThumbnails::shared().size(), shown.size());
        for (const ChatAttachment& attachment : attachments(before + after))
            QCOMPARE(AttachmentThumbnails::shared().thumbnail(attachment.id).isNull(),
                     !after.contains(m_byLetter.key(attachment)));
    }
    // What the engine asks the provider for is the thumbnail URL's path without its slash.
    void thumbnailsAreServedAtTheSizeAsked() {
        const QList<ChatAttachment> list = attachments("ab");
        m_model->setAttachments(list);
        const QUrl source = m_model->index(1).data(AttachmentListModel::ThumbnailRole).toUrl();
        AttachmentImageProvider provider;
        QSize size;
        const QImage served = provider.requestImage(source.path().mid(1), &size, QSize(30, 30));
        QCOMPARE((std::pair{served.size(), served.pixelColor(15, 15)}),
                 (std::pair{QSize(30, 30), list.at(1).thumbnail.pixelColor(4, 4)}));
        QVERIFY(provider.requestImage("not-an-id", &size, QSize(30, 30)).isNull());
    }
    // The notch page and the popup each show the same attachments through their own model.
    void thumbnailStaysWhileAnyListShowsIt() {
        const QList<ChatAttachment> list = attachments("ab");
        auto other = std::make_unique<AttachmentListModel>();
        m_model->setAttachments(list);
        other->setAttachments(list);
        m_model->setAttachments({});
        QVERIFY(!AttachmentThumbnails::shared().thumbnail(list.at(0).id).isNull());
        other.reset();
        QVERIFY(AttachmentThumbnails::shared().thumbnail(list.at(0).id).isNull());
    }
    void roundedSquare_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("side");
        QTest::newRow("wide") << QSize(200, 100) << 50;
        QTest::newRow("tall") << QSize(100, 300) << 44;
    }
    // Left half red, right half blue (top and bottom for a tall one): filled into a square,
    // both halves meet in the middle, and the corners are cut away.
    void roundedSquare() {
        QFETCH(QSize, source);
        QFETCH(int, side);
        const bool wide = source.width() >= source.height();
        QImage image(source, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QRect second = wide ? QRect(source.width() / 2, 0, source.width(), source.height())
                                  : QRect(0, source.height() / 2, source.width(), source.height());
        QPainter(&image).fillRect(second, Qt::blue);
        const QImage square = AttachmentImageProvider::roundedSquare(image, side);
        QCOMPARE(square.size(), QSize(side, side));
        // Far enough from the seam that smooth scaling does not blend the halves.
        const int mid = side / 2, away = std::max(4, side / 8);
        const QPoint step = wide ? QPoint(away, 0) : QPoint(0, away);
        const int last = side - 1;
        QCOMPARE(
            (QVariantList{square.pixelColor(QPoint(mid, mid) - step),
                          square.pixelColor(QPoint(mid, mid) + step),
                          square.pixelColor(0, 0).alpha() + square.pixelColor(last, 0).alpha() +
                              square.pixelColor(0, last).alpha() +
                              square.pixelColor(last, last).alpha()}),
            (QVariantList{QColor(Qt::red), QColor(Qt::blue), 0}));
    }
};

QTEST_MAIN(AttachmentListModelTest)
#include "tst_attachmentlistmodel.moc"
