# MmProbeAndLockPages under an exception handler, for the x64 build (g++ has no __try). The
# function's unwind information names the kernel's C-language handler (__C_specific_handler) with a
# scope table of one record: an exception raised while the call is in progress goes to the filter
# below, which keeps the exception code in this function's frame and has it handled; the system
# unwinds the frames above this one, running their termination handlers, and resumes at .Lraised.
#   NTSTATUS kvusb_guarded_probe_and_lock(PMDL Mdl, KPROCESSOR_MODE AccessMode, LOCK_OPERATION Operation)

        .text
        .p2align 4
        .globl  kvusb_guarded_probe_and_lock
        .def    kvusb_guarded_probe_and_lock; .scl 2; .type 32; .endef
        .seh_proc kvusb_guarded_probe_and_lock
kvusb_guarded_probe_and_lock:
        subq    $40, %rsp                       # home space for the callee (0..31), the exception
                                                # code (32..35); keeps rsp 16-byte aligned
        .seh_stackalloc 40
        .seh_endprologue
.Lguarded_begin:
        call    *__imp_MmProbeAndLockPages(%rip)  # rcx, rdx and r8 go on unchanged
        nop                                     # keeps the call's return address inside the scope
.Lguarded_end:
        xorl    %eax, %eax
.Lreturn:
        addq    $40, %rsp
        ret
.Lraised:                                       # rsp is this function's frame again
        movl    32(%rsp), %eax
        testl   %eax, %eax                      # an exception code is a failure status; make sure
        js      .Lreturn
        movl    $0xC0000005, %eax               # nothing resuming here can look like success
        jmp     .Lreturn
        .seh_handler __C_specific_handler, @except
        .seh_handlerdata
        .long   1                               # scope records
        .rva    .Lguarded_begin, .Lguarded_end, kvusb_execute_handler, .Lraised
        .text
        .seh_endproc

# The scope's filter, LONG filter(EXCEPTION_POINTERS* Pointers, void* EstablisherFrame): keeps the
# exception code in the guarded function's frame (the establisher frame is its rsp after the
# prologue) and answers EXCEPTION_EXECUTE_HANDLER for every exception. A leaf that leaves the stack
# alone needs no unwind information.
        .p2align 4
        .def    kvusb_execute_handler; .scl 3; .type 32; .endef
kvusb_execute_handler:
        movq    (%rcx), %rax                    # Pointers->ExceptionRecord
        movl    (%rax), %eax                    # ->ExceptionCode
        movl    %eax, 32(%rdx)
        movl    $1, %eax
        ret
