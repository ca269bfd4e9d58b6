// OleApartment: the thread's OLE (a single-threaded apartment with drag and drop and the
// clipboard) for as long as the object lives.
#pragma once

#include <ole2.h>

class OleApartment {
public:
    OleApartment() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleApartment() {
        if (ok_) OleUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

private:
    bool ok_;
};
