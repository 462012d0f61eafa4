#include "model/WebAddress.h"

#include <algorithm>

void WebAddress::fromEncodedTogether(std::span<const QByteArrayView> encoded, std::span<WebAddress> addresses)
{
    qsizetype size = 0;
    for (const QByteArrayView text : encoded)
        size += text.size() + 1;
    // The last '\0' is the buffer's own.
    QByteArray buffer(std::max<qsizetype>(size - 1, 0), '\0');
    char* at = buffer.data();
    for (const QByteArrayView text : encoded)
        at = std::copy(text.begin(), text.end(), at) + 1;
    qsizetype begin = 0;
    for (std::size_t index = 0; index < encoded.size(); ++index) {
        // A copy of the buffer, narrowed to the address: it holds the buffer as any copy does, and
        // a change to it is made on a copy of its own.
        QByteArray whole = buffer;
        QByteArray::DataPointer part = std::move(whole.data_ptr());
        part.ptr += begin;
        part.size = encoded[index].size();
        addresses[index].text_ = QByteArray(std::move(part));
        begin += encoded[index].size() + 1;
    }
}
