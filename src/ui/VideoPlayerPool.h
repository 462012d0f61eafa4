#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

// Keeps the number of video players alive in the views at a handful: each libmpv core costs
// threads and frame buffers, and a grid can ask for far more previews than anyone watches. A view
// takes a lease before it makes a player; when every lease is out, the one used least recently
// (an idle one first) is revoked, and its holder drops its player at once. GUI thread only.
class VideoPlayerPool : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 4;

    explicit VideoPlayerPool(int capacity = kDefaultCapacity, QObject* parent = nullptr);
    static VideoPlayerPool& shared();

    // A lease for `holder` (again for a holder that has one); `revoked` runs when it is taken away.
    void acquire(QObject* holder, std::function<void()> revoked);
    // Ends the lease of `holder`, if any; `revoked` does not run.
    void release(QObject* holder);
    // A running video is revoked only when every lease runs one; using it makes it the newest.
    void setActive(QObject* holder, bool active);

    int leaseCount() const { return int(leases_.size()); }
    int capacity() const { return capacity_; }

private:
    struct Lease {
        QPointer<QObject> holder;
        std::function<void()> revoked;
        bool active = false;
    };

    int indexOf(const QObject* holder) const;
    void revokeOne();

    const int capacity_;
    // Oldest use first.
    QList<Lease> leases_;
};
