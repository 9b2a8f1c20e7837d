/*
 * messages.h - every text the user sees, as code page 932 bytes.
 *
 * messages.cpp is written in UTF-8 and compiled with -fexec-charset=CP932,
 * so the program holds the code page 932 bytes while the source stays
 * readable. Nothing else in the program spells out a user-visible text.
 */
#ifndef QZ_MESSAGES_H
#define QZ_MESSAGES_H

extern const char text_uninstaller_caption[];    /* caption of every box of the program's own */
extern const char text_unsupported_platform[];
extern const char text_invalid_option[];
extern const char text_confirm_removal[];
extern const char text_restart_question[];
extern const char text_finished[];
extern const char text_not_installed_suffix[];   /* follows a product's display name */
extern const char text_remove_question_suffix[]; /* follows a product's display name */
extern const char text_series_display_name[];    /* "Pelto QZ シリーズ" */
extern const char text_qz65_display_name[];      /* "Pelto QZ 65" */

#endif
