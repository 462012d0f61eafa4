#include "screens/search/SearchOverlayService.h"

#include "foundation/Async.h"
#include "foundation/Shared.h"

#include <QPointer>

SearchOverlayService& SearchOverlayService::shared() { return Shared<SearchOverlayService>::instance(); }

void SearchOverlayService::setPresented(bool presented)
{
    if (presented == isPresented_)
        return;
    isPresented_ = presented;
    Q_EMIT isPresentedChanged(presented);
}

void SearchOverlayService::setSearchQuery(const QString& query)
{
    if (query == searchQuery_)
        return;
    searchQuery_ = query;
    Q_EMIT searchQueryChanged(query);
}

void SearchOverlayService::toggle()
{
    postToMain([self = QPointer(this)] {
        if (self)
            self->setPresented(!self->isPresented_);
    });
}

void SearchOverlayService::hide()
{
    postToMain([self = QPointer(this)] {
        if (self)
            self->setPresented(false);
    });
}
