// A libsndfile that stops short of sf_seek, the fourth function tvenc binds: tvenc must
// refuse it by name, not call into nothing.
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
}
