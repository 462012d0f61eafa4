#pragma once

#include <QWidget>

class Spinner;

// The veil shown over a preview while it loads: the window's background colour at 30% over
// everything behind, with a large white progress wheel and "Loading preview..." centred on it.
class LoadingIndicator : public QWidget {
    Q_OBJECT

public:
    explicit LoadingIndicator(QWidget* parent = nullptr);

    Spinner* spinner() const { return spinner_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Spinner* spinner_;
};
