#include "bench/ScaleFill.h"

#include "platform/Exceptions.h"
#include "server/Schema.h"
#include "webrpc/Connection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QPair>

namespace {

// The statements of the fill script, by step name, with the sizes put in.
QList<QPair<QString, QString>> FillSteps(const TScaleSize& size)
{
    QFile f(QStringLiteral(TB_SOURCE_DIR "/bench/scale_fill.sql"));
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("cannot read %1").arg(f.fileName()));
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("{goods}"), QString::number(size.Goods));
    text.replace(QStringLiteral("{clients}"), QString::number(size.Clients));
    text.replace(QStringLiteral("{bills}"), QString::number(size.Bills));
    QList<QPair<QString, QString>> steps;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(QLatin1String("-- step: ")))
            steps.append({line.mid(9).trimmed(), QString()});
        else if (!steps.isEmpty() && !line.startsWith(QLatin1String("--")))
            steps.last().second += line + u'\n';
    }
    return steps;
}

} // namespace

void FillScaleData(TClientConnection& con, const TScaleSize& size, const std::function<void(const QString&)>& progress)
{
    QElapsedTimer t;
    for (const auto& [step, sql] : FillSteps(size)) {
        t.start();
        const int rows = con.ExecuteNative(sql);
        progress(QStringLiteral("  %1 s  %2 (%3 rows)").arg(t.elapsed() / 1000.0, 0, 'f', 1).arg(step).arg(rows));
    }
    t.start();
    FinishDemoKeys(con);
    con.ExecuteNative(QStringLiteral("vacuum (analyze)"));
    progress(QStringLiteral("  %1 s  keys, vacuum").arg(t.elapsed() / 1000.0, 0, 'f', 1));
}
