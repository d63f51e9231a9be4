// The OpenGL binding: the window's two contexts and the bitmap context's way into the pages.
//
// Every window gets two contexts from the backend when it opens: the window context draws
// onto the window (EaselUpdate(2) swaps its buffers) and the bitmap context draws into an
// off-screen RGBA texture of the page size. A backend without OpenGL offers neither; then
// EaselGLSelect reports -9 and everything flat keeps working.
//
// The bitmap context's picture reaches the draw page at sync points: before the draw page
// changes, before a page is shown (EaselSetShowPage, EaselUpdate 1 and 2) and before a context
// switch. Pixels that OpenGL changed since the last sync point are written into the draw page
// as their nearest palette entries (true colour: as they are); pixels it left alone keep
// whatever flat drawing put there. After each sync point the draw page is loaded back into the
// texture, so OpenGL goes on drawing over what the page holds.
//
// Syncing costs a texture read and write per sync point, so it runs only after the program has
// selected the bitmap context itself with EaselGLSelect(false): the selection made by
// EaselOpen keeps the context current without costing programs that never draw with it.
//
// Program thread only.
#ifndef EASEL_GL_H
#define EASEL_GL_H

namespace easel::gl {

// Step of EaselOpen: creates both contexts and makes the bitmap context current. Sets the
// result code to -9 when the backend has OpenGL but the contexts could not be made.
void CreateContexts();

// Step of EaselClose: makes no context current and deletes both contexts.
void ReleaseContexts();

// EaselUpdate(2): swaps the window's buffers when the window context is selected and returns
// true; false otherwise (the caller then repaints from the shown page).
bool SwapIfWindowSelected();

// Sync point, first half: lays the bitmap context's drawing since the last sync point over the
// draw page. No-op unless the program selected the bitmap context itself.
void FlushBitmap();

// Sync point, second half: loads the draw page into the bitmap context's texture.
void LoadBitmap();

}  // namespace easel::gl

#endif  // EASEL_GL_H
