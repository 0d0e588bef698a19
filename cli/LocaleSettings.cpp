#include "LocaleSettings.h"

#include <QLocale>
#include <QString>

namespace ponteva {

namespace {

// Index of the first unquoted occurrence of any of the characters, or -1.
qsizetype findToken(const QString& format, const QString& chars)
{
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && chars.contains(c))
            return i;
    }
    return -1;
}

} // namespace

RegionalSettings regionalFromLocale(const QLocale& locale)
{
    RegionalSettings s;
    const QString point = locale.decimalPoint();
    s.decimalSeparator = point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
    // A short date with month names (the "C" locale's "d MMM yyyy") is written with the
    // month's number: the core formats numbers only.
    QString date = locale.dateFormat(QLocale::ShortFormat);
    date.replace(QStringLiteral("MMMM"), QStringLiteral("MM")).replace(QStringLiteral("MMM"), QStringLiteral("MM"));
    s.shortDateFormat = date.toStdString();

    const QString time = locale.timeFormat(QLocale::LongFormat);
    const qsizetype hour = findToken(time, QStringLiteral("hH"));
    const qsizetype designator = findToken(time, QStringLiteral("aA"));
    s.twelveHour = designator >= 0;
    s.designatorBeforeTime = designator >= 0 && hour >= 0 && designator < hour;
    s.hourLeadingZero = hour >= 0 && hour + 1 < time.size() && time[hour + 1] == time[hour];
    if (hour >= 0) {
        qsizetype i = hour;
        while (i < time.size() && (time[i] == u'h' || time[i] == u'H'))
            ++i;
        qsizetype j = i;
        while (j < time.size() && time[j] != u'm')
            ++j;
        if (j > i)
            s.timeSeparator = time.mid(i, j - i).remove(u'\'').toStdString();
    }
    s.amDesignator = locale.amText().toStdString();
    s.pmDesignator = locale.pmText().toStdString();
    return s;
}

RegionalSettings regionalFromSystem()
{
    return regionalFromLocale(QLocale::system());
}

} // namespace ponteva
