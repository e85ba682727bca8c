/* How the simulated BI plug-ins report an image download to the progress window, and so
 * what a host's download callback receives (QRXDownloadEvent, <qrx/download_event.h>).
 *
 * Every download is a job with a number; the start event is sent synchronously from the
 * start call, so a host that starts one download at a time learns its job number before
 * StartDownloadImage returns. Job numbers are unique in the process: the phone plug-in
 * numbers from 1, the UFI plug-in from 1001.
 *
 *   kind 0  started    value3 = job,     value1 = image size in KiB
 *   kind 1  progress   value1 = percent, value4 = job
 *   kind 2  verifying  value1 = job
 *   kind 3  finished   value1 = job,     value5 = 1 on success, 0 on failure or stop
 *   kind 4  error      value1 = job,     value2 = error code (kSimDownload...)
 */
#ifndef QRX_SIM_DOWNLOAD_PROTOCOL_H
#define QRX_SIM_DOWNLOAD_PROTOCOL_H

enum {
  kSimDownloadUnreadable = 2, /* the image named in the settings file cannot be read */
  kSimDownloadStopped = 3,    /* StopDoadloadImage ended the job */
  kSimDownloadNoImage = 4     /* the settings file names no image */
};

#endif
