#pragma once
// Joins the preview page to the window: the local pane's selection, the remote list's pictures,
// drops on the report panel's tabs, and downloaded pictures.
class QMimeData;
class TMainFrm;

void AttachImagePreview(TMainFrm& main);
// Queues the download of the selected remote picture into the temporary folder; shown when done.
void PreviewRemote(TMainFrm& main);
// A drag from the remote list whose first selected row is a picture.
bool IsRemoteImageDrag(const TMainFrm& main, const QMimeData* mime);
