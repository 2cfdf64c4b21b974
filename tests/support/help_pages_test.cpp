// The help pages as the program carries them: every link of every page leads to a packed page (and, with a
// fragment, to an element of that page), and the contents page reaches every page.
#include "support/help.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <map>

namespace {

std::map<QString, QString> PackedPages(TZipBox& box)
{
    std::map<QString, QString> pages;
    for (int i = 0; i < box.Count(); ++i) {
        QByteArray content;
        QBuffer buffer(&content);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(box.GetData(box.Items(i), buffer)) << box.Items(i)->pName.constData();
        pages[QString::fromUtf8(box.Items(i)->pName)] = QString::fromUtf8(content);
    }
    return pages;
}

QStringList Links(const QString& html)
{
    static const QRegularExpression link(R"re((?:href|src)="([^"]*)")re");
    QStringList links;
    for (auto it = link.globalMatch(html); it.hasNext();)
        links << it.next().captured(1);
    return links;
}

bool HasId(const QString& html, const QString& id)
{
    return html.contains(QString("id=\"%1\"").arg(id));
}

}  // namespace

TEST(HelpPages, EveryLinkLeadsToAPackedPageAndTheContentsReachEveryPage)
{
    QImage carrier(PICTAVO_CARRIER_DIR "/supHelp.bmp");
    ASSERT_FALSE(carrier.isNull());
    THelp help("Pictavo", &carrier);
    ASSERT_GT(help.Box.Count(), 2);
    EXPECT_EQ(QString::fromUtf8(help.Box.Items(help.Box.Count() - 1)->pName), THelp::MarkerName());
    const std::map<QString, QString> pages = PackedPages(help.Box);
    ASSERT_TRUE(pages.count("index.html"));

    for (const auto& [name, html] : pages) {
        if (!name.endsWith(".html"))
            continue;
        EXPECT_TRUE(Links(html).contains("pictavo.css")) << name.toStdString();
        for (const QString& link : Links(html)) {
            if (link.startsWith("http://") || link.startsWith("https://") || link.startsWith("mailto:"))
                continue;
            const QString file = link.section('#', 0, 0);
            const QString fragment = link.section('#', 1);
            const QString target = file.isEmpty() ? name : file;
            ASSERT_TRUE(pages.count(target)) << name.toStdString() << " links the missing " << link.toStdString();
            if (!fragment.isEmpty()) {
                EXPECT_TRUE(HasId(pages.at(target), fragment))
                    << name.toStdString() << " links the missing anchor " << link.toStdString();
            }
        }
    }
    const QStringList fromContents = Links(pages.at("index.html"));
    for (const auto& [name, html] : pages) {
        if (name.endsWith(".html") && name != "index.html") {
            EXPECT_TRUE(fromContents.contains(name)) << "the contents do not list " << name.toStdString();
        }
    }
}
