#include "menubar/NamedIconEngine.h"

NamedIconEngine::NamedIconEngine(QString name, QIcon pictures) : name_(std::move(name)), pictures_(std::move(pictures)) {}

QList<QSize> NamedIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) { return pictures_.availableSizes(mode, state); }

QPixmap NamedIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) { return pictures_.pixmap(size, mode, state); }

void NamedIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    pictures_.paint(painter, rect, Qt::AlignCenter, mode, state);
}

QIconEngine* NamedIconEngine::clone() const { return new NamedIconEngine(name_, pictures_); }
