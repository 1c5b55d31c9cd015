#pragma once
// The order of the shuffled play queue: entries sorted with a comparator that answers
// ascending, same or descending at random. A merge sort takes any comparator answer and
// still ends with every entry exactly once; a library sort might not (an inconsistent
// comparator is undefined behaviour for std::sort).

#include <QList>

#include <functional>

// Answers -1 (a before b), 0 (keep their order) or 1 (b before a).
using ShuffleComparator = std::function<int()>;

// The system's unseeded pseudo-random sequence: random() % 3 - 1.
int systemRandomComparison();

// Sorts `entries` with `compare` (a top-down merge sort over the list).
template <typename T>
QList<T> sortWithComparator(const QList<T>& entries, const ShuffleComparator& compare)
{
    if (entries.size() < 2)
        return entries;
    const qsizetype mid = entries.size() / 2;
    const QList<T> left = sortWithComparator(entries.mid(0, mid), compare);
    const QList<T> right = sortWithComparator(entries.mid(mid), compare);
    QList<T> merged;
    merged.reserve(entries.size());
    qsizetype i = 0, j = 0;
    while (i < left.size() && j < right.size()) {
        if (compare() > 0)
            merged.append(right[j++]);
        else
            merged.append(left[i++]);
    }
    while (i < left.size())
        merged.append(left[i++]);
    while (j < right.size())
        merged.append(right[j++]);
    return merged;
}
