#include "platform/HttpWorker.h"

#include <QNetworkAccessManager>

void HttpWorker::preferPlainEventLoops()
{
    if (qEnvironmentVariableIsEmpty("QT_NO_THREADED_GLIB"))
        qputenv("QT_NO_THREADED_GLIB", "1");
}

HttpWorker::~HttpWorker()
{
    if (!context_)
        return;
    thread_.quit();
    thread_.wait();
}

void HttpWorker::post(Job job)
{
    if (!context_) {
        thread_.setObjectName(QStringLiteral("Http transfers"));
        context_ = new QObject;
        context_->moveToThread(&thread_);
        // Deleted on its own thread as that ends, with the manager, its replies and transfers.
        QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
        thread_.start();
    }
    QMetaObject::invokeMethod(context_, [context = context_, job = std::move(job)] {
        // Made on the thread it serves, so that all it makes inside lives there too.
        auto* manager = context->findChild<QNetworkAccessManager*>(QString(), Qt::FindDirectChildrenOnly);
        if (!manager)
            manager = new QNetworkAccessManager(context);
        job(*manager);
    }, Qt::QueuedConnection);
}

void HttpWorker::clearConnectionCache()
{
    if (context_)
        post([](QNetworkAccessManager& manager) { manager.clearConnectionCache(); });
}
