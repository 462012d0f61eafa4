#pragma once

#include <QIcon>
#include <QIconEngine>

// An icon that offers the icon theme's name beside pictures of its own. A tray host that looks
// names up in the theme (a StatusNotifierItem host) shows the theme's icon; the others (an X11
// tray, a host without the theme) show the pictures.
class NamedIconEngine : public QIconEngine {
public:
    // `name` may be empty: then only the pictures are offered.
    NamedIconEngine(QString name, QIcon pictures);

    QString iconName() override { return name_; }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;

private:
    QString name_;
    QIcon pictures_;
};
