#pragma once
// Fetch requests and their sort order.
//
// Sorting compares attribute values: texts by plain code-point order (no locale, no case
// folding, so "Zebra" sorts before "apple"), numbers by value; an absent value sorts
// before any present one.

#include <QString>
#include <QVariant>

#include <vector>

class NSManagedObject;

struct NSSortDescriptor {
    QString key;
    bool ascending = true;

    static NSSortDescriptor sortDescriptorWithKey(const QString& key, bool ascending)
    {
        return {key, ascending};
    }
};

struct NSFetchRequest {
    QString entityName;
    std::vector<NSSortDescriptor> sortDescriptors;  // none: the store's order
    int fetchBatchSize = 0;                         // 0: no batching
};

// Negative, zero or positive as `a` orders before, with or after `b`.
int compareAttributeValues(const QVariant& a, const QVariant& b);
// Code-point order of two texts (QString compares UTF-16 units, which misplaces
// characters beyond the basic plane against U+E000..U+FFFF).
int compareCodePoints(const QString& a, const QString& b);
