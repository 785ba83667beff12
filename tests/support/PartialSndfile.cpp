// A libsndfile that lacks sf_seek: tvenc must refuse it by name, not call into nothing.
extern "C" {
int sf_open_virtual() {
    return 0;
}
int sf_command() {
    return 0;
}
long sf_readf_float() {
    return 0;
}
int sf_error() {
    return 0;
}
const char* sf_strerror() {
    return "";
}
int sf_close() {
    return 0;
}
}
