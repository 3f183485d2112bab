#pragma once

#include "server/directoryserver.h"
#include "testing.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <list>
#include <string>

enum class Driver { Sqlite, Postgresql };

inline std::string driverName(const ::testing::TestParamInfo<Driver>& info) {
    return info.param == Driver::Sqlite ? "SQLite" : "PostgreSQL";
}

// A throw-away directory database for each test: a SQLite file, or a PostgreSQL database of its
// own on the cluster tools/with-postgres.sh starts, and the servers a test starts on it.
class DatabaseTest : public ::testing::TestWithParam<Driver> {
protected:
    void SetUp() override {
        m_database =
            server::DatabaseUrl::sqlite(m_dir.filePath(QStringLiteral("directory.sqlite")));
        if (GetParam() != Driver::Postgresql)
            return;
        const QString base = qEnvironmentVariable("BANDHOPPER_TEST_POSTGRES");
        if (base.isEmpty())
            GTEST_SKIP() << "BANDHOPPER_TEST_POSTGRES is not set; run the tests under "
                            "tools/with-postgres.sh to include PostgreSQL";
        m_admin = *server::DatabaseUrl::parse(base);
        m_database = m_admin;
        m_database.name = QStringLiteral("bh_test_%1").arg(QCoreApplication::applicationPid());
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_database.name));
        admin(QStringLiteral("CREATE DATABASE %1").arg(m_database.name));
    }
    void TearDown() override {
        m_servers.clear();
        if (GetParam() == Driver::Postgresql && !m_admin.name.isEmpty())
            admin(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_database.name));
    }
    void admin(const QString& sql) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "admin");
            db.setHostName(m_admin.host);
            db.setUserName(m_admin.user);
            db.setDatabaseName(m_admin.name);
            ASSERT_TRUE(db.open());
            ASSERT_TRUE(QSqlQuery(db).exec(sql)) << sql.toStdString();
        }
        QSqlDatabase::removeDatabase("admin");
    }
    static int bundledNets() {
        static const int count = int(server::bundledDirectory().netsCsv.count('\n')) - 1;
        return count;
    }
    // The identifiers after the bundled nets', in the order imports and the harvest hand them out.
    static QString nextId(int nth = 1) { return QString::number(bundledNets() + nth); }
    QString writeFile(const QString& name, const QByteArray& contents) {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName();
    }

    QTemporaryDir m_dir;
    server::DatabaseUrl m_database;
    server::DatabaseUrl m_admin;
    std::list<server::DirectoryServer> m_servers;
};
