#include "tests/support/Pictures.h"

namespace testsupport {

ComPtr<IPicture> BitmapPicture(int cx, int cy, COLORREF inner, COLORREF outer, int frame) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, cx, cy);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH outerBrush = CreateSolidBrush(outer);
    HBRUSH innerBrush = CreateSolidBrush(inner);
    RECT all{0, 0, cx, cy};
    FillRect(dc, &all, outerBrush);
    RECT middle{frame, frame, cx - frame, cy - frame};
    FillRect(dc, &middle, innerBrush);
    DeleteObject(outerBrush);
    DeleteObject(innerBrush);
    SelectObject(dc, old);
    DeleteDC(dc);

    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPicture> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, picture.PutVoid()))) {
        DeleteObject(bitmap);
    }
    return picture;
}

ComPtr<IPictureDisp> AsPictureDisp(IPicture* picture) {
    ComPtr<IPictureDisp> disp;
    if (picture) picture->QueryInterface(IID_IPictureDisp, disp.PutVoid());
    return disp;
}

}  // namespace testsupport
