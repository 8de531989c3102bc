// CRotatedText: lays the lines of a label out in an off-screen surface, turns
// the surface by a quarter, half or three-quarter turn and copies it into the
// target context with the label's alignment and optional etched lines.
//
// A short-lived drawing object: the label builds one on its paint context for
// each paint and lets it go at the end. Render keeps the finished image in a
// memory context of its own until the next Render or the object's end; every
// other surface, context and brush lives only inside the call that made it,
// and every object selected into a context is put back before the context
// goes, on the failure paths too. Dialog thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Platform.h"

class CRotatedText {
public:
    // horzIndex 0 left, 1 centre, 2 right (also the DT_LEFT/DT_CENTER/DT_RIGHT
    // value of each line); vertIndex 0 top, 1 centre, 2 bottom. The platform
    // decides the rotation path (see Render).
    CRotatedText(HDC hTarget, const std::string& text, int horzIndex, int vertIndex,
                 Platform& platform = Platform::Default());
    virtual ~CRotatedText();
    CRotatedText(const CRotatedText&) = delete;
    CRotatedText& operator=(const CRotatedText&) = delete;

    // Operations
    void SetEmbossed(BOOL embossed) { m_bEmbossed = embossed; }
    void SetEtched(BOOL etched) { m_bEtched = etched; }
    void SetTextBackColor(COLORREF color) { m_crTextBack = color; }
    void SetTextColor(COLORREF color) { m_crText = color; }

    // Lays the text out with the target's current font, one line per line
    // feed (empty lines are dropped), and turns it by `angle` degrees
    // clockwise: 90, 180 and 270 are turned, any other angle is kept
    // unrotated. An empty text gives an empty image and succeeds. FALSE when
    // a surface or the working copy cannot be had; there is no image then.
    BOOL Render(int angle);
    // Copies the image into the client rectangle (origin 0, 0) with the
    // alignment, cut at the right and bottom when it is larger, and draws the
    // etched lines when they are on. FALSE without an image, else the copy's
    // result.
    BOOL Draw(const RECT& client);
    // Forgets the image: its context and bitmap are deleted, the rectangle is
    // emptied and the angle goes back to 0.
    void ReleaseImage();

    // Attributes
    const RECT& GetImageRect() const { return m_rcImage; }
    int GetAngle() const { return m_nAngle; }
    // The finished image (null when there is none); valid until the next
    // Render or ReleaseImage.
    HDC GetImageDC() const { return m_hImageDC; }

private:
    // An off-screen surface: its context, its pixels (32-bit, top-down) and
    // its side.
    struct Surface {
        HDC dc;
        std::uint32_t* bits;
        int side;
    };
    // A side x side 32-bit top-down surface bitmap and its pixels.
    HBITMAP CreateSurface(int side, std::uint32_t** bits) const;
    // Turns the w x h box at the origin of src into dst.
    BOOL Rotate(const Surface& dst, const Surface& src, int w, int h) const;
    void DrawEtchedLines(const RECT& client, int iw, int ih) const;

    HDC m_hTarget;
    HDC m_hImageDC = nullptr;
    RECT m_rcImage = {0, 0, 0, 0};
    int m_nHorz;
    int m_nVert;
    int m_nAngle = 0;
    BOOL m_bEmbossed = FALSE;
    BOOL m_bEtched = FALSE;
    std::string m_strText;
    COLORREF m_crTextBack;
    COLORREF m_crText;

    // The image context's own bitmap and what it replaced there.
    HBITMAP m_hImageBitmap = nullptr;
    HGDIOBJ m_hImageOld = nullptr;
    Platform& m_platform;
};
