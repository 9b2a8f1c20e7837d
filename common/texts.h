/*
 * texts.h - every text the user sees, as code page 932 bytes.
 *
 * texts.cpp is written in UTF-8 and compiled with -fexec-charset=CP932,
 * so the program holds the code page 932 bytes while the source stays
 * readable. Nothing else in the program spells out a user-visible text.
 */
#ifndef QZ_TEXTS_H
#define QZ_TEXTS_H

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
extern const char text_already_running[];        /* another copy holds the run lock */

/* Captions of the error report box: "Function : " and the function that
   failed, as the user and the log see it. */
extern const char caption_get_version_ex[];
extern const char caption_load_library[];
extern const char caption_get_proc_address[];
extern const char caption_free_library[];
extern const char caption_setup_di_get_class_devs[];
extern const char caption_get_device_registry_property[];
extern const char caption_call_class_installer[];
extern const char caption_get_device_install_params[];
extern const char caption_setup_uninstall_oem_inf[];
extern const char caption_unknown[];
extern const char caption_local_alloc[];
extern const char caption_reg_open_key_ex[];
extern const char caption_reg_close_key[];
extern const char caption_reg_delete_key[];
extern const char caption_reg_delete_value[];
extern const char caption_reg_enum_value[];
extern const char caption_reg_enum_key_ex[];
extern const char caption_get_windows_directory[];
extern const char caption_get_system_directory[];
extern const char caption_set_file_attributes[];
extern const char caption_delete_file[];
extern const char caption_find_first_file[];
extern const char caption_find_next_file[];
extern const char caption_get_file_attributes[];
extern const char caption_create_process[];
extern const char caption_wait_for_single_object[];
extern const char caption_get_exit_code_process[];
extern const char caption_create_mutex[];

/* The log (QZUninst.log): labels of its lines, in the order a run writes them. */
extern const char text_log_start[];          /* "======== 開始 " + date and time */
extern const char text_log_start_end[];      /* " ========" */
extern const char text_log_program[];        /* "プログラム: QZUninst " + version */
extern const char text_log_32bit[];
extern const char text_log_64bit[];
extern const char text_log_command_line[];   /* + the tail in double quotes */
extern const char text_log_handing_over[];   /* + the 64-bit program's path */
extern const char text_log_handed_over[];    /* + its process ID + text_log_handed_over_code + its exit code */
extern const char text_log_handed_over_code[];
extern const char text_log_hand_over_timed_out[];
extern const char text_log_windows[];        /* + major.minor.build + its family and bitness */
extern const char text_log_quiet[];
extern const char text_log_message[];        /* + "[caption]", then the text, indented */
extern const char text_log_answer_ok[];
extern const char text_log_answer_cancel[];
extern const char text_log_answer_quiet[];
extern const char text_log_answer_failed[];
extern const char text_log_answer_held_back[]; /* a message of the check after the removal, not shown */   /* the box could not be shown */
extern const char text_log_failure_object[];  /* + what the failed call was made on */
extern const char text_log_failure_error[];   /* + its error number */
extern const char text_log_lock_timeout[];
extern const char text_log_product[];        /* "製品 " + index + ": " + the steps */
extern const char text_log_step_devices[];
extern const char text_log_step_services[];
extern const char text_log_step_files[];
extern const char text_log_step_oem_infs[];
extern const char text_log_step_registry[];
extern const char text_log_status_nothing[];
extern const char text_log_status_removed[];
extern const char text_log_status_partly[];
extern const char text_log_status_failed[];
extern const char text_log_separator[];      /* between the steps of a product */
extern const char text_log_totals[];         /* "集計: " + each status word and its count */
extern const char text_log_failures[];       /* + how many failures were reported + text_log_failures_unit */
extern const char text_log_restart_not_needed[];
extern const char text_log_restart_started[];
extern const char text_log_restart_declined[];
extern const char text_log_restart_quiet[];
extern const char text_log_package_removed[];     /* + the OEM INF's name */
extern const char text_log_file_scheduled[];
extern const char text_log_device_at_restart[];   /* + a device instance ID Windows removes at the restart */      /* + the path of a file in use, deleted at the restart */

/* What an examination finds, by kind ("検出 デバイス: USB\VID_1F7C&PID_0084\5&1"). */
extern const char text_check_found[];   /* + the counts by kind: what --check found */
extern const char text_check_nothing[];
extern const char text_check_waiting[]; /* nothing left but what Windows removes at the restart */
extern const char text_check_failed[];
extern const char text_log_check_only[];
extern const char text_log_found_total[]; /* + the counts by kind, or "なし" */
extern const char text_log_proof[];
extern const char text_log_remaining[];   /* + the counts by kind, or "なし" */
extern const char text_log_waiting_total[]; /* + the counts by kind of what waits for the restart */
extern const char text_result_waiting[];
extern const char text_result_found[];
extern const char text_result_nothing_found[];
extern const char text_result_check_failed[];
extern const char text_result_left_behind[];
extern const char text_log_found[];
extern const char text_log_found_at_restart[]; /* found, but Windows removes it at the restart */
extern const char text_log_other_driver[]; /* + the instance ID of a product device under another driver */
extern const char text_log_no_driver[];    /* + the instance ID of a product device without a driver */
extern const char text_kind_devices[];
extern const char text_kind_service_keys[];
extern const char text_kind_driver_files[];
extern const char text_kind_class_infs[];
extern const char text_kind_oem_infs[];
extern const char text_kind_packages[];
extern const char text_kind_enum_keys[];
extern const char text_kind_driver_keys[];
extern const char text_kind_ports[];
extern const char text_kind_vxd_registrations[];
extern const char text_kind_files[];

/* The run's block: its head (each label + a value), its end, the command
   line, the lock, the log file itself, and the run's result in words. */
extern const char text_log_hand_over[];          /* + none, "to 64-bit", or from the 32-bit program's ID */
extern const char text_log_hand_over_none[];
extern const char text_log_hand_over_to[];
extern const char text_log_hand_over_from[];     /* + its process ID + text_log_hand_over_from_end */
extern const char text_log_hand_over_from_end[];
extern const char text_log_family_nt[];          /* after the version: the family, then the bitness */
extern const char text_log_family_9x[];
extern const char text_log_family_other[];       /* + the platform ID + text_log_separator */
extern const char text_log_windows_32bit[];
extern const char text_log_windows_64bit[];
extern const char text_log_computer[];
extern const char text_log_account[];
extern const char text_log_session[];
extern const char text_log_process[];
extern const char text_log_elevated[];
extern const char text_log_yes[];
extern const char text_log_no[];
extern const char text_log_unknown[];
extern const char text_log_station_invisible[];
extern const char text_log_quiet_required[];
extern const char text_log_line_invalid[];
extern const char text_log_valid_lines_nt[];
extern const char text_log_valid_lines_9x[];
extern const char text_log_log_option_rule[];
extern const char text_log_partner_writable[];       /* + path + text_log_partner_writer + account + ")" */
extern const char text_log_partner_writer[];
extern const char text_log_partner_unsigned[];       /* + path + text_log_partner_verify_result + code + ")" */
extern const char text_log_partner_other_signer[];   /* the same */
extern const char text_log_own_signature_unverified[]; /* + text_log_partner_verify_result + code + ")" */
extern const char text_log_partner_verify_result[];
extern const char text_log_lock_not_ours[];
extern const char text_log_lock_not_mutex[];
extern const char text_log_lock_abandoned[];
extern const char text_log_status_not_run[];
extern const char text_log_files_of[];           /* " (対象の " + listed + " 個のうち " + present + ... */
extern const char text_log_files_present[];
extern const char text_log_files_all_deleted[];
extern const char text_log_failures_unit[];
extern const char text_log_failures_in_steps[];  /* " (手順の中で " + n + this + rest + unit + ")" */
extern const char text_log_failures_outside[];
extern const char text_log_failures_more_before[];
extern const char text_log_failure_number[];
extern const char text_log_file[];               /* "ログ: " + path + text_log_file_passed_over + why + ")" */
extern const char text_log_file_passed_over[];
extern const char text_log_file_link[];
extern const char text_log_file_hard_link[];
extern const char text_log_file_unchecked[];
extern const char text_log_file_error[];         /* + the error number */
extern const char text_log_file_moved[];
extern const char text_log_file_not_moved[];     /* + the error number + ")" */
extern const char text_log_file_old_encoding[];  /* + the path a code page 932 log went to + one of: */
extern const char text_log_file_moved_to[];
extern const char text_log_file_not_moved_to[];  /* + the error number + ")" */
extern const char text_log_file_folder_link[];
extern const char text_log_file_elsewhere[];
extern const char text_log_file_not_a_log[];
extern const char text_log_file_users_write[];     /* + the account + the end: a run as SYSTEM passes the file over */
extern const char text_log_file_users_write_end[];
extern const char text_log_result[];             /* + the result's words + text_log_result_code + the exit code */
extern const char text_log_result_code[];
extern const char text_log_end[];                /* + date and time + text_log_elapsed + seconds + text_log_elapsed_end */
extern const char text_log_elapsed[];
extern const char text_log_elapsed_end[];
extern const char text_result_done[];
extern const char text_result_restart_needed[];
extern const char text_result_restarting[];
extern const char text_result_cancelled[];
extern const char text_result_failed[];
extern const char text_result_busy[];
extern const char text_result_invalid[];
extern const char text_result_quiet_required[];
extern const char text_result_unsupported[];
extern const char text_result_lock_failed[];
extern const char text_result_not_handed_over[];
extern const char text_result_handed_over[];
extern const char text_result_handed_over_unknown[];

#endif
