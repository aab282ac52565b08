/* A media library without a single function: where it is found first, the
   programs behave as on a machine without libmpv. */
int saver_test_no_media_library;
