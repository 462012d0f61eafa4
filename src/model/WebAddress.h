#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QString>
#include <QUrl>

#include <span>

// An address of a wallpaper record (its thumbnail, poster, previews, master) kept as its fully
// encoded text and parsed into a QUrl where it is used: a parsed address costs some 400 bytes,
// its text a fifth of that, and a liked list holds five per record for tens of thousands of
// records. Set from and used as a QUrl; the calls the application makes on a record's
// addresses are offered here too.
class WebAddress {
public:
    WebAddress() = default;
    // Implicit both ways, so that a record's address goes wherever a QUrl goes. The encoded text
    // comes in the buffer of the UTF-16 text it was made from, with room to grow: some 250 bytes
    // for a 55-character address, five times over in each of tens of thousands of records.
    WebAddress(const QUrl& url) : text_(url.toEncoded()) { text_.squeeze(); }

    // Addresses already in their fully encoded form (as a QUrl would write them), made as parts of
    // one buffer that they share (each ended there by a '\0', as a QByteArray's text is): the
    // addresses of a record cost one allocation rather than one each. `addresses` has the size of
    // `encoded`.
    static void fromEncodedTogether(std::span<const QByteArrayView> encoded, std::span<WebAddress> addresses);

    QUrl url() const { return QUrl::fromEncoded(text_); }
    operator QUrl() const { return url(); }

    QString toString(QUrl::FormattingOptions options = QUrl::FormattingOptions(QUrl::PrettyDecoded)) const
    {
        return url().toString(options);
    }
    bool isEmpty() const { return text_.isEmpty(); }
    bool isValid() const { return url().isValid(); }
    bool isLocalFile() const { return url().isLocalFile(); }
    QString toLocalFile() const { return url().toLocalFile(); }
    QString scheme() const { return url().scheme(); }
    QString host() const { return url().host(); }
    QString authority() const { return url().authority(); }
    QString path() const { return url().path(); }
    QString fileName() const { return url().fileName(); }

    // The fully encoded text.
    const QByteArray& encoded() const { return text_; }
    // The stored form: the fully encoded text, as a QUrl is written.
    QJsonValue toJson() const { return QString::fromUtf8(text_); }

    friend bool operator==(const WebAddress& a, const WebAddress& b) { return a.text_ == b.text_; }
    friend bool operator==(const WebAddress& a, const QUrl& b) { return a.url() == b; }

private:
    QByteArray text_;
};
