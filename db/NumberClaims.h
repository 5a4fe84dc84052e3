#pragma once

#include "platform/Gbk.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>
#include <optional>

namespace regdesk {

class DbConnection;

// A transaction that no other desk's numbering or saving runs beside: on
// data.db a write transaction from the start (BEGIN IMMEDIATE), on the server
// a transaction that holds 号码占用表 exclusively. Rolled back unless committed.
// Failures are shown by the database layer's boxes.
class WriteTransaction
{
public:
    explicit WriteTransaction(std::shared_ptr<DbConnection> connection);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool isOpen() const { return m_open; }
    bool commit();

private:
    bool run(const QString& sql);

    std::shared_ptr<DbConnection> m_connection;
    QSqlDatabase m_database;
    bool m_open = false;
};

// The numbers that desks have proposed and not yet saved, in 号码占用表, so
// that two desks never propose the same 发文号 or 制码号. A desk claims a
// number when it proposes it and gives it back when it proposes anew or
// ends; a saved 发文号 needs no claim (the register holds it), a saved 制码号
// keeps its row without a desk while its row is counted and the count of
// barcodes has not reached it (another desk still holds a lower one). The
// claims of a desk that ended without giving them back (killed, crashed, cut
// off) are forgotten at the next proposal of any desk: a desk is alive while
// its process runs (data.db) or its session holds its advisory lock (server).
// Every change runs inside a WriteTransaction.
class NumberClaims
{
public:
    static constexpr const char* kDocumentNumber = "发文号";
    static constexpr const char* kCodeNumber = "制码号";
    // The first key of the advisory lock that shows a desk on the server alive.
    static constexpr int kDeskLockKey = 0x52454744; // "REGD"

    enum class Outcome
    {
        Claimed,         // this desk holds it now (or held it already)
        HeldByOtherDesk, // another desk proposed it, or it is a saved 制码号 not yet counted
        Failed,          // the database failed; reported
    };

    explicit NumberClaims(std::shared_ptr<DbConnection> connection);

    // Forgets the claims of desks that are no longer alive.
    bool forgetEndedDesks();
    // Gives back every number this desk holds; `report`: false when the desk
    // is going and nobody is there to read a box.
    bool releaseOwn(bool report = true);
    // `kind`: kDocumentNumber or kCodeNumber (UTF-8); `series`: the prefix or
    // the code number's codeSeries; `serial`: the number within it.
    Outcome claim(const char* kind, const GbkString& number, const GbkString& series, int serial);
    // The desk that holds `number` (empty text: a saved 制码号); nullopt when
    // nobody does.
    std::optional<QString> holder(const char* kind, const GbkString& number);
    // A registration of these numbers was saved: the 发文号's claim goes; the
    // 制码号's stays without a desk while it protects a number another desk
    // could still be proposed (see forgetNeedlessCodes), and goes at once
    // when the row has no barcode.
    bool settle(const GbkString& documentNumber, const GbkString& codeNumber, bool barcoded);
    // The register counts `counted` barcodes for the code numbers of
    // `series`: the saved ones among them that no desk could be proposed
    // any more (at or below the count), or whose row the count does not
    // include (deleted, without barcode, of another year), need no claim.
    bool forgetNeedlessCodes(const GbkString& series, qint64 counted);

    // The series of a code-number claim: the year whose barcodes count its
    // serial, empty when all years count. nullopt for a series that is none.
    static GbkString codeSeries(std::optional<int> year);
    static std::optional<std::optional<int>> yearOfCodeSeries(const GbkString& series);

    // On the server: takes the advisory lock that shows the desk `session`
    // alive, making up a new session number when it is empty.
    static QString holdServerSession(const QSqlDatabase& database, QString& session);

private:
    bool run(const QString& sql, const QVariantList& values, int* rowsAffected = nullptr, bool reportFailure = true);
    // The first column of the first row (nullopt inside: no row); nullopt when the statement failed.
    std::optional<std::optional<QString>> firstValue(const QString& sql, const QVariantList& values);

    std::shared_ptr<DbConnection> m_connection;
};

} // namespace regdesk
