// The recorder beside the picker: starting the picker is enough for the
// capture button to record. On Linux `zorvi-settings record` (beside the
// picker's executable, else on the PATH) runs as the picker's child and is
// ended with it however it ends (a display change, a kill); it then finishes
// the take in progress. On Windows `zorvi-settings.exe record` beside the
// picker watches it and does the same, in a job object that ends it should
// it not.
#ifndef RECORDERLAUNCH_H
#define RECORDERLAUNCH_H

class QObject;

// Starts it unless `zorvi --no-record` or ZORVI_NO_RECORD=1 asks for the
// picker alone, or there is no zorvi-settings to start (a line on standard
// error and a notification say so).
// What is needed to notice its end lives as long as `owner`.
void startRecorder(QObject *owner);

#endif // RECORDERLAUNCH_H
