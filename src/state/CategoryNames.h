#pragma once

#include "backend/CategoryItem.h"

#include <QCoreApplication>
#include <QList>

// The names the screens show for the catalogue's categories, settled once where they load, so
// Home, Explore and the upload list read alike. Screens leave control characters out of a name
// (Text::oneLine): a name with nothing else to show becomes "Untitled", and names that read the
// same once cleaned are told apart by a number ("Untitled", "Untitled 2"), so every category
// keeps a card, a chip and a row of its own.
class CategoryNames {
    Q_DECLARE_TR_FUNCTIONS(CategoryNames)

public:
    static QString untitled() { return tr("Untitled"); }
    // The categories in the same order, renamed where their names would not tell them apart.
    static QList<CategoryItem> toldApart(QList<CategoryItem> categories);
};
