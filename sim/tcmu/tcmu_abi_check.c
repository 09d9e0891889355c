/* The numbers of tcmu_abi.h against the kernel's own header, at build time. */
#include <linux/target_core_user.h>
#include <stddef.h>

_Static_assert(TCMU_MAILBOX_VERSION == 2, "mailbox version");
_Static_assert(offsetof(struct tcmu_mailbox, version) == 0, "version");
_Static_assert(offsetof(struct tcmu_mailbox, flags) == 2, "flags");
_Static_assert(offsetof(struct tcmu_mailbox, cmdr_off) == 4, "cmdr_off");
_Static_assert(offsetof(struct tcmu_mailbox, cmdr_size) == 8, "cmdr_size");
_Static_assert(offsetof(struct tcmu_mailbox, cmd_head) == 12, "cmd_head");
_Static_assert(offsetof(struct tcmu_mailbox, cmd_tail) == 64, "cmd_tail");
_Static_assert(sizeof(struct tcmu_mailbox) == 128, "mailbox size");
_Static_assert(TCMU_MAILBOX_FLAG_CAP_READ_LEN == (1 << 1), "read length capability");
_Static_assert(TCMU_OP_MASK == 0x7 && TCMU_OP_PAD == 0 && TCMU_OP_CMD == 1, "entry kinds");
_Static_assert(sizeof(struct tcmu_cmd_entry_hdr) == 8, "header size");
_Static_assert(offsetof(struct tcmu_cmd_entry_hdr, cmd_id) == 4, "cmd_id");
_Static_assert(offsetof(struct tcmu_cmd_entry_hdr, uflags) == 7, "uflags");
_Static_assert(TCMU_UFLAG_UNKNOWN_OP == 0x1 && TCMU_UFLAG_READ_LEN == 0x2, "user flags");
_Static_assert(offsetof(struct tcmu_cmd_entry, req.iov_cnt) == 8, "iov_cnt");
_Static_assert(offsetof(struct tcmu_cmd_entry, req.cdb_off) == 24, "cdb_off");
_Static_assert(offsetof(struct tcmu_cmd_entry, req.iov) == 48, "iov");
_Static_assert(sizeof(struct iovec) == 16, "iovec");
_Static_assert(offsetof(struct iovec, iov_base) == 0 && offsetof(struct iovec, iov_len) == 8,
               "iovec fields");
_Static_assert(offsetof(struct tcmu_cmd_entry, rsp.scsi_status) == 8, "scsi_status");
_Static_assert(offsetof(struct tcmu_cmd_entry, rsp.read_len) == 12, "read_len");
_Static_assert(offsetof(struct tcmu_cmd_entry, rsp.sense_buffer) == 16, "sense_buffer");
_Static_assert(TCMU_SENSE_BUFFERSIZE == 96, "sense size");
_Static_assert(sizeof(struct tcmu_cmd_entry) == 112, "entry size");
