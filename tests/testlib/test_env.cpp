#include "testlib/test_env.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUuid>

QString TestDataPath(const QString& name)
{
    QString root = qEnvironmentVariable("PICTAVO_TEST_DATA", QStringLiteral(PICTAVO_SOURCE_DIR "/tests/data"));
    return name.isEmpty() ? root : root + "/" + name;
}

QString TestHome()
{
    return qEnvironmentVariable("HOME");
}

QString NewTestFolder()
{
    const QString path = TestHome() + "/t-" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(path);
    return path;
}
