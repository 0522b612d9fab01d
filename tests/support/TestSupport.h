#pragma once

#include "store/MemberRecord.h"
#include "window/Clock.h"

#include <QDate>
#include <QList>
#include <QString>

class QTemporaryDir;

class FixedClock : public Clock
{
public:
    explicit FixedClock(QDate date) : m_date(date) {}
    QDate today() const override { return m_date; }

private:
    QDate m_date;
};

// A member with every field filled in, as the application stores it.
MemberRecord sampleMember(const QString& card, const QString& nombre = QStringLiteral("Ana"),
                          const QString& fnacimiento = QStringLiteral("13/03/1985"));

// A new member file in `dir` holding `rows` in table order.
QString createMemberFile(const QTemporaryDir& dir, const QList<MemberRecord>& rows = {});

// A new member file in `dir` made from an SQL script of tests/data.
QString memberFileFromFixture(const QTemporaryDir& dir, const QString& script);

// Changes the file as another program would: any SQL, outside the store.
void execSql(const QString& path, const QString& sql);

// Every row of "ficha" in table order, read outside the store.
QList<MemberRecord> allRows(const QString& path);

QString testDataPath(const QString& name);
QByteArray fileBytes(const QString& path);
