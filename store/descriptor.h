#pragma once

// An open file descriptor that closes itself; empty when the open failed.
class Descriptor {
public:
    explicit Descriptor(int fd = -1);
    Descriptor(Descriptor&& other) noexcept;
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const;
    explicit operator bool() const;
    // Closes it at once and reports whether the close succeeded; false when
    // it was empty. A failed close can mean that written data is lost.
    bool close();

private:
    int fd;
};
