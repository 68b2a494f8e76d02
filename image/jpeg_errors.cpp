#include "image/jpeg_errors.h"

void ReturnToCodec(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  JpegErrorManager* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  longjmp(manager->jump, 1);
}
