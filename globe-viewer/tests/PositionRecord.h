#pragma once

#include <QList>
#include <QMap>
#include <QVariant>

// The fifteen values of a position record as a signal spy holds them.
namespace PositionRecord {

// A signal's arguments from `from` on, each as a double.
inline QVariantList doubles(const QList<QVariant> &arguments, int from = 0)
{
    QVariantList values;
    for (int i = from; i < arguments.size(); ++i)
        values << arguments[i].toDouble();
    return values;
}

// A record that is 0 except at the given places.
inline QVariantList record(const QMap<int, double> &set)
{
    QVariantList values;
    for (int i = 0; i < 15; ++i)
        values << set.value(i, 0.0);
    return values;
}

} // namespace PositionRecord
