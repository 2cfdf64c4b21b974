// The desktop learns from resources/picture_types.txt which files the program opens. A format the registry
// gains without its line there is one the file manager never offers the program for.
#include "formats/open_image.h"

#include "testlib/test_env.h"

#include <QFile>
#include <QMap>
#include <QMimeDatabase>

#include <gtest/gtest.h>

namespace {

QByteArray ResourceFile(const QString& name)
{
    QFile file(TestDataPath("../../resources/" + name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// Lower-case extension -> MIME type.
QMap<QString, QString> PictureTypes()
{
    QMap<QString, QString> types;
    for (const QByteArray& raw : ResourceFile("picture_types.txt").split('\n')) {
        const QStringList fields = QString::fromUtf8(raw).simplified().split(' ');
        if (fields.size() == 2 && !fields[0].startsWith('#'))
            types.insert(fields[0], fields[1]);
    }
    return types;
}

}  // namespace

TEST(PictureTypes, EveryRegisteredExtensionHasTheMimeTypeTheDesktopGivesIt)
{
    const QMap<QString, QString> types = PictureTypes();
    TOpenImage registry;
    const TOpenImageEventCollection& c = *registry.Collection;
    for (int i = 0; i < c.Count(); ++i) {
        const QString extension = c.Handlers.Items[i].Extension.mid(1).toLower();
        EXPECT_TRUE(types.contains(extension)) << extension.toStdString() << " is missing";
    }

    // Either the shared MIME database names the file so, or the program's own MIME package teaches it to.
    const QByteArray ownPackage = ResourceFile("pictavo-mime.xml");
    const QMimeDatabase database;
    for (auto it = types.cbegin(); it != types.cend(); ++it) {
        const QMimeType known = database.mimeTypeForFile("picture." + it.key(), QMimeDatabase::MatchExtension);
        const bool taught = ownPackage.contains(("type=\"" + it.value() + "\"").toUtf8())
                            && ownPackage.contains(("\"*." + it.key() + "\"").toUtf8());
        EXPECT_TRUE(known.inherits(it.value()) || taught)
            << it.key().toStdString() << ": " << it.value().toStdString() << ", the database says "
            << known.name().toStdString();
    }
}
