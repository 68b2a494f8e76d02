#include "image/jpeg/jpeg_errors.h"

void ReturnToCodec(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  JpegErrorManager* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  longjmp(manager->jump, 1);
}

jpeg_error_mgr* ReturningErrors(JpegErrorManager* manager) {
  jpeg_error_mgr* const err = jpeg_std_error(&manager->pub);
  manager->pub.error_exit = ReturnToCodec;
  return err;
}
